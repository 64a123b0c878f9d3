// What every panel button does: the handler it runs and the camera command
// code and value it carries. The panel dispatches its button events through
// this table alone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

enum class ButtonAction {
  MonitorOut,     // value: 0 XGA, 1 VGA, 2 SVGA
  FreezeToggle,
  Movie,
  SaveImage,
  PrintImage,
  AdjustSelect,   // index: the adjust selector 0..5
  PressHold,      // index: 0 "<<", 1 ">>"; MouseDown and MouseUp only
  AutoFocus,
  WhiteBalance,
  DZoom,
  Feature,        // index: a Feature; value: what the camera reads back when on
  PairChoice,     // value: 0 for the first button, 1 for the second
  InputSelect,
  Send,           // code and value sent as they are, in either mode
};

enum class Feature { Mirror, Flip, Color, Negative, Emboss, Edge };
inline constexpr int kFeatureCount = 6;

enum class Adjust { Zoom, Focus, Bright, Sharp, Red, Blue };
inline constexpr int kAdjustCount = 6;

struct ButtonBinding {
  int id;
  ButtonAction action;
  std::uint8_t code;
  std::uint8_t value;
  int index;
};

// The 69 buttons; 67 handle Click, the two press-and-hold buttons handle
// MouseDown and MouseUp instead.
std::span<const ButtonBinding> ButtonTable();
const ButtonBinding* FindButtonBinding(int id);

// The lens and picture adjustments driven by the press-and-hold buttons.
struct HoldCommand {
  std::uint8_t code;
  std::uint8_t startLeft;   // MouseDown on "<<"
  std::uint8_t startRight;  // MouseDown on ">>"
  std::uint8_t stop;        // MouseUp on either
  bool plainStop;           // the stop goes in the plain frame form
};
std::optional<HoldCommand> HoldCommandFor(int adjustIndex);

namespace command_code {
inline constexpr std::uint8_t kLens = 0x0F;
inline constexpr std::uint8_t kMonitorOut = 0x20;
inline constexpr std::uint8_t kPairChoice = 0x24;
inline constexpr std::uint8_t kInputSelect = 0x25;
inline constexpr std::uint8_t kFreeze = 0x3C;
inline constexpr std::uint8_t kDZoom = 0x3F;
inline constexpr std::uint8_t kWhiteBalance = 0x80;
inline constexpr std::uint8_t kMirror = 0x36, kFlip = 0x37, kColor = 0x30, kNegative = 0x31, kEmboss = 0x32,
                              kEdge = 0x35;
}  // namespace command_code
