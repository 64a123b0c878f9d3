// What every panel button does, as the panel's dispatch reads it: the
// handler it runs and the camera command code and value it carries. Each
// binding is taken from the control's row in the panel's table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "panel/control_actions.h"

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
