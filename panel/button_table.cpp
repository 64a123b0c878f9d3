#include "panel/button_table.h"

#include <array>
#include <vector>

#include "panel/panel_layout.h"

namespace {

std::vector<ButtonBinding> BuildTable() {
  std::vector<ButtonBinding> table;
  for (const PanelControl& control : PanelLayout()) {
    if (!control.does) continue;
    const ControlAction& does = *control.does;
    table.push_back({control.id, does.action, does.code, does.value, does.index});
  }
  return table;
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
  namespace code = command_code;
  static constexpr std::array<HoldCommand, kAdjustCount> kHold = {{
      {code::kLens, 1, 0, 0x0F, false},  // Zoom
      {code::kLens, 7, 8, 0x0F, false},  // Focus
      {code::kBright, 0xF0, 0x0E, 0x0D, false},
      {code::kSharp, 0xF0, 0x0E, 0x0D, false},
      {code::kRed, 0xF0, 0x0E, 0x0D, true},
      {code::kBlue, 0xF0, 0x0E, 0x0D, true},
  }};
  if (adjustIndex < 0 || adjustIndex >= kAdjustCount) return std::nullopt;
  return kHold[static_cast<std::size_t>(adjustIndex)];
}
