#include "panel/button_table.h"

#include <vector>

#include "panel/panel_layout.h"

// Every control that does something, in the layout's order.
std::span<const ButtonBinding> ButtonTable() {
  static const std::vector<ButtonBinding> table = [] {
    std::vector<ButtonBinding> bindings;
    for (const PanelControl& control : PanelLayout())
      if (control.does) bindings.push_back({*control.does, control.id});
    return bindings;
  }();
  return table;
}

const ButtonBinding* FindButtonBinding(int id) { return panel_id::FindById(ButtonTable(), id); }

std::optional<HoldCommand> HoldCommandFor(int adjustIndex) {
  for (const ButtonBinding& binding : ButtonTable())
    if (binding.action == ButtonAction::AdjustSelect && binding.index == adjustIndex) return binding.hold;
  return std::nullopt;
}
