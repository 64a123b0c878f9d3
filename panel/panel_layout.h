// The panel's controls: id, kind, place and size in dialog units, caption or
// picture, and whether the control is shown. The dialog builds itself from
// this table and nothing else.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <span>

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

  QRect DialogRect() const { return {x, y, cx, cy}; }
};

inline constexpr int kPanelWidthDlu = 157;
inline constexpr int kPanelHeightDlu = 288;
inline constexpr int kPanelControlCount = 73;

// Control ids that the panel's code refers to by name.
namespace panel_id {
inline constexpr int kBackground = 1041;
inline constexpr int kPairFirst = 1117, kPairSecond = 1118;
inline constexpr int kFreeze = 1000, kSaveImage = 1002, kPrint = 1001, kMovie = 1003;
inline constexpr int kLog = 1127, kRate = 1129, kClear = 1128;
inline constexpr int kZoom = 1048, kFocus = 1052, kBright = 1053, kSharp = 1056, kRed = 1059, kBlue = 1057;
inline constexpr int kHoldLeft = 1050, kHoldRight = 1051;
inline constexpr int kAutoFocus = 1125, kAwb = 1058, kDZoom = 1062;
inline constexpr int kMirror = 1065, kFlip = 1064, kColor = 1074, kEdge = 1119, kEmboss = 1120, kNegative = 1063;
inline constexpr int kXga = 1043, kSvga = 1044, kVga = 1045;
inline constexpr int kInputSelect = 1046, kLamp = 1047, kPicture = 1103;
}  // namespace panel_id

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
