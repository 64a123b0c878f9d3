#include "panel/button_table.h"

#include <vector>

#include "panel/panel_layout.h"

namespace {

std::vector<ButtonBinding> BuildTable() {
  std::vector<ButtonBinding> table;
  for (const PanelControl& control : PanelLayout()) {
    if (!control.does) continue;
    table.push_back({*control.does, control.id});
  }
  return table;
}

}  // namespace

std::span<const ButtonBinding> ButtonTable() {
  static const std::vector<ButtonBinding> table = BuildTable();
  return table;
}

const ButtonBinding* FindButtonBinding(int id) { return panel_id::FindById(ButtonTable(), id); }

std::optional<HoldCommand> HoldCommandFor(int adjustIndex) {
  for (const ButtonBinding& binding : ButtonTable())
    if (binding.action == ButtonAction::AdjustSelect && binding.index == adjustIndex) return binding.hold;
  return std::nullopt;
}
