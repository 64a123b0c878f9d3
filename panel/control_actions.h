// What a panel control does when it is clicked or held: the kinds of handler
// and the camera command codes they send.
#pragma once

#include <cstdint>
#include <optional>

enum class ButtonAction {
  MonitorOut,  // value: 0 XGA, 1 VGA, 2 SVGA
  FreezeToggle,
  Movie,
  SaveImage,
  PrintImage,
  AdjustSelect,  // index: the adjust selector 0..5
  PressHold,     // index: 0 "<<", 1 ">>"; MouseDown and MouseUp only
  AutoFocus,
  WhiteBalance,
  DZoom,
  Feature,     // index: a Feature
  PairChoice,  // value: 0 for the first button, 1 for the second
  InputSelect,
  Send,  // code and value sent as they are, in either mode
};

enum class Feature { Mirror, Flip, Color, Negative, Emboss, Edge };
inline constexpr int kFeatureCount = 6;

enum class Adjust { Zoom, Focus, Bright, Sharp, Red, Blue };
inline constexpr int kAdjustCount = 6;

// What an adjust selector's setting does while "<<" or ">>" is held.
struct HoldCommand {
  std::uint8_t code = 0;
  std::uint8_t startLeft = 0;   // MouseDown on "<<"
  std::uint8_t startRight = 0;  // MouseDown on ">>"
  std::uint8_t stop = 0;        // MouseUp on either
  bool plainStop = false;       // the stop goes in the plain frame form
};

// One control's handler with the command code, values and index it carries.
struct ControlAction {
  ButtonAction action;
  std::uint8_t code = 0;
  std::uint8_t value = 0;  // what it sends; for a switch, what switches it on
  int index = 0;
  std::uint8_t offValue = 0;        // a switch: what switches it off
  std::uint8_t readsOn = 0;         // a Feature: what the camera reads back while it is on
  std::optional<HoldCommand> hold;  // an adjust selector: its press-and-hold commands
};

// The camera's command codes, named after the buttons that send them.
namespace command_code {
inline constexpr std::uint8_t kLens = 0x0F;  // zoom and focus drive
inline constexpr std::uint8_t kMonitorOut = 0x20;
inline constexpr std::uint8_t kPicture = 0x21;  // the video camera picture button
inline constexpr std::uint8_t kSaveSlot = 0x22;
inline constexpr std::uint8_t kRecallSlot = 0x23;
inline constexpr std::uint8_t kPairChoice = 0x24;
inline constexpr std::uint8_t kInputSelect = 0x25;
inline constexpr std::uint8_t kLamp = 0x26;
inline constexpr std::uint8_t kColor = 0x30, kNegative = 0x31, kEmboss = 0x32;
inline constexpr std::uint8_t kBright = 0x33, kSharp = 0x34;
inline constexpr std::uint8_t kEdge = 0x35, kMirror = 0x36, kFlip = 0x37;
inline constexpr std::uint8_t kFreeze = 0x3C;
inline constexpr std::uint8_t kDZoom = 0x3F;
inline constexpr std::uint8_t kAutoFocus = 0x60;
inline constexpr std::uint8_t kPresetSave = 0x7D, kPresetRun = 0x7E;
inline constexpr std::uint8_t kWhiteBalance = 0x80;
inline constexpr std::uint8_t kRed = 0x81, kBlue = 0x82;
}  // namespace command_code
