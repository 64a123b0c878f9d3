// The panel's controls, one row each: id, kind, place and size in dialog
// units, caption or pictures, whether the control is shown, and what it does.
// The dialog builds itself and dispatches its buttons' events from this
// table and nothing else.
#pragma once

#include <optional>
#include <span>

#include <QFont>
#include <QRect>
#include <QString>

#include "panel/control_actions.h"
#include "panel/panel_ids.h"

enum class ControlKind { Background, Button, LogBox, RateBox, PushButton };

// The artwork a picture button shows; None means it shows its caption.
enum class PanelPicture {
  None,
  PairLeft,
  PairRight,
  StillCamera,
  CameraWithFlash,
  GreyDisk,
  ColouredDisk,
  GreyPrinter,
  BluePrinter,
  VideoCamera,
  InternalWord,
  ExternalWord,
};

struct PanelControl {
  int id;
  ControlKind kind;
  int x, y, cx, cy;  // dialog units
  const char* caption;
  PanelPicture picture;
  PanelPicture latchedPicture;  // None: the latched look keeps the normal picture
  bool visible;
  // Nothing for the background, the two readouts and CLEAR.
  std::optional<ControlAction> does;
  // What the control does, in a few words, for its tooltip; empty for the
  // controls that do nothing.
  const char* tooltip = "";

  QRect DialogRect() const { return {x, y, cx, cy}; }
};

inline constexpr int kPanelWidthDlu = 157;
inline constexpr int kPanelHeightDlu = 288;
inline constexpr int kPanelControlCount = 73;

// All 73 controls, the background first (it lies beneath the others).
std::span<const PanelControl> PanelLayout();
const PanelControl* FindPanelControl(int id);

// Dialog base units of a font: the rounded average width of the 52 letters
// A-Z a-z and the font's height, in pixels.
struct DialogBaseUnits {
  int cx = 0;
  int cy = 0;

  static DialogBaseUnits Of(const QFont& font);
  QRect ToPixels(const QRect& dlu) const;
  int X(int dlu) const;
  int Y(int dlu) const;
};

// The panel's dialog font: 8-point Arial, whose metrics Liberation Sans shares.
QFont PanelDialogFont();
