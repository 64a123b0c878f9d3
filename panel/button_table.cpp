#include "panel/button_table.h"

#include <array>
#include <vector>

namespace {

using enum ButtonAction;
namespace code = command_code;

ButtonBinding Sends(int id, std::uint8_t commandCode, int value) {
  return {id, Send, commandCode, static_cast<std::uint8_t>(value), 0};
}

ButtonBinding FeatureButton(int id, std::uint8_t commandCode, std::uint8_t onValue, ::Feature feature) {
  return {id, ButtonAction::Feature, commandCode, onValue, static_cast<int>(feature)};
}

std::vector<ButtonBinding> BuildTable() {
  std::vector<ButtonBinding> t = {
      {1043, MonitorOut, code::kMonitorOut, 0, 0},
      {1045, MonitorOut, code::kMonitorOut, 1, 0},
      {1044, MonitorOut, code::kMonitorOut, 2, 0},
      {1000, FreezeToggle, code::kFreeze, 0, 0},
      {1003, Movie, 0, 0, 0},
      {1002, SaveImage, 0, 0, 0},
      {1001, PrintImage, 0, 0, 0},
      {1048, AdjustSelect, 0, 0, static_cast<int>(Adjust::Zoom)},
      {1052, AdjustSelect, 0, 0, static_cast<int>(Adjust::Focus)},
      {1053, AdjustSelect, 0, 0, static_cast<int>(Adjust::Bright)},
      {1056, AdjustSelect, 0, 0, static_cast<int>(Adjust::Sharp)},
      {1059, AdjustSelect, code::kWhiteBalance, 1, static_cast<int>(Adjust::Red)},
      {1057, AdjustSelect, code::kWhiteBalance, 1, static_cast<int>(Adjust::Blue)},
      {1050, PressHold, 0, 0, 0},
      {1051, PressHold, 0, 0, 1},
      {1125, AutoFocus, 0x60, 0, 0},
      {1058, WhiteBalance, code::kWhiteBalance, 0, 0},
      {1062, DZoom, code::kDZoom, 1, 0},
      FeatureButton(1065, code::kMirror, 4, ::Feature::Mirror),
      FeatureButton(1064, code::kFlip, 8, ::Feature::Flip),
      FeatureButton(1074, code::kColor, 0x80, ::Feature::Color),
      FeatureButton(1063, code::kNegative, 0x20, ::Feature::Negative),
      FeatureButton(1120, code::kEmboss, 0x40, ::Feature::Emboss),
      FeatureButton(1119, code::kEdge, 0x10, ::Feature::Edge),
      {1117, PairChoice, code::kPairChoice, 0, 0},
      {1118, PairChoice, code::kPairChoice, 1, 0},
      {1046, InputSelect, code::kInputSelect, 1, 0},
      Sends(1047, 0x26, 0),  // Lamp
      Sends(1103, 0x21, 0),
  };
  const std::array<int, 4> presetSave = {1060, 1066, 1068, 1069};
  const std::array<int, 4> presetRun = {1070, 1071, 1072, 1073};
  for (int n = 1; n <= 4; ++n) t.push_back(Sends(presetSave[n - 1], 0x7D, n - 1));
  for (int n = 1; n <= 4; ++n) t.push_back(Sends(presetRun[n - 1], 0x7E, n - 1));
  // Slots 15 and 16 of each grid were given ids after the first fourteen.
  const auto slotId = [](int first, int id15, int id16, int n) { return n <= 14 ? first + n - 1 : n == 15 ? id15 : id16; };
  for (int n = 1; n <= 16; ++n) t.push_back(Sends(slotId(1075, 1121, 1122, n), 0x22, n));
  for (int n = 1; n <= 16; ++n) t.push_back(Sends(slotId(1089, 1123, 1124, n), 0x23, n));
  return t;
}

}  // namespace

std::span<const ButtonBinding> ButtonTable() {
  static const std::vector<ButtonBinding> table = BuildTable();
  return table;
}

const ButtonBinding* FindButtonBinding(int id) {
  for (const ButtonBinding& binding : ButtonTable())
    if (binding.id == id) return &binding;
  return nullptr;
}

std::optional<HoldCommand> HoldCommandFor(int adjustIndex) {
  static constexpr std::array<HoldCommand, kAdjustCount> kHold = {{
      {code::kLens, 1, 0, 0x0F, false},     // Zoom
      {code::kLens, 7, 8, 0x0F, false},     // Focus
      {0x33, 0xF0, 0x0E, 0x0D, false},      // Bright
      {0x34, 0xF0, 0x0E, 0x0D, false},      // Sharp
      {0x81, 0xF0, 0x0E, 0x0D, true},       // Red
      {0x82, 0xF0, 0x0E, 0x0D, true},       // Blue
  }};
  if (adjustIndex < 0 || adjustIndex >= kAdjustCount) return std::nullopt;
  return kHold[static_cast<std::size_t>(adjustIndex)];
}
