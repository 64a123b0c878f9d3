// What every panel button does, as the panel's dispatch reads it: the
// handler it runs and the camera command code and values it carries. Each
// binding is taken from the control's row in the panel's table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "panel/control_actions.h"

struct ButtonBinding : ControlAction {
  int id = 0;
};

// The 69 buttons; 67 handle Click, the two press-and-hold buttons handle
// MouseDown and MouseUp instead.
std::span<const ButtonBinding> ButtonTable();
const ButtonBinding* FindButtonBinding(int id);

// The press-and-hold commands of the adjust selector with this index, from
// its row; nothing for an index no selector has.
std::optional<HoldCommand> HoldCommandFor(int adjustIndex);
