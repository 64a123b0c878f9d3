#include "panel/panel_layout.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace {

using K = ControlKind;
using P = PanelPicture;
using A = ButtonAction;
namespace id = panel_id;
namespace code = command_code;

constexpr const char* kDigits[] = {"1", "2",  "3",  "4",  "5",  "6",  "7",  "8",
                                   "9", "10", "11", "12", "13", "14", "15", "16"};

struct Place {
  int x, y, cx, cy;
};

ControlAction Does(A action, std::uint8_t commandCode = 0, int value = 0, int index = 0) {
  return {action, commandCode, static_cast<std::uint8_t>(value), index};
}
ControlAction Sends(std::uint8_t commandCode, int value) { return Does(A::Send, commandCode, value); }
// A switch: one value turns it on, another off.
ControlAction Switches(A action, std::uint8_t commandCode, int onValue, int offValue) {
  ControlAction does = Does(action, commandCode, onValue);
  does.offValue = static_cast<std::uint8_t>(offValue);
  return does;
}
// "<<" and ">>" held drive the selected setting: each start command while
// held, the stop on letting go.
ControlAction Selects(Adjust adjust, HoldCommand hold) {
  ControlAction does = Does(A::AdjustSelect, 0, 0, static_cast<int>(adjust));
  does.hold = hold;
  return does;
}
// The picture settings step down (0xF0) or up (0x0E) while held and stop at 0x0D.
constexpr HoldCommand StepHold(std::uint8_t commandCode, bool plainStop = false) {
  return {commandCode, 0xF0, 0x0E, 0x0D, plainStop};
}
// Red and Blue: selecting one sends the manual white balance.
ControlAction ManualBalance(ControlAction selects) {
  selects.code = code::kWhiteBalance;
  selects.value = 1;
  return selects;
}
ControlAction Toggles(::Feature feature, std::uint8_t commandCode, int readsOn) {
  ControlAction does = Switches(A::Feature, commandCode, 1, 0);
  does.index = static_cast<int>(feature);
  does.readsOn = static_cast<std::uint8_t>(readsOn);
  return does;
}

PanelControl Key(int controlId, Place at, const char* caption, ControlAction does, const char* tooltip) {
  return {controlId, K::Button, at.x, at.y, at.cx, at.cy, caption, P::None, P::None, true, does, tooltip};
}

PanelControl Picture(int controlId, Place at, P picture, P latched, ControlAction does, const char* tooltip,
                     bool visible = true) {
  return {controlId, K::Button, at.x, at.y, at.cx, at.cy, "", picture, latched, visible, does, tooltip};
}

PanelControl Plain(int controlId, K kind, Place at, const char* caption, bool visible) {
  return {controlId, kind, at.x, at.y, at.cx, at.cy, caption, P::None, P::None, visible, std::nullopt, ""};
}

constexpr std::array<const char*, 16> kSaveSlotTips = {
    "Save to slot 1",  "Save to slot 2",  "Save to slot 3",  "Save to slot 4",  "Save to slot 5",  "Save to slot 6",
    "Save to slot 7",  "Save to slot 8",  "Save to slot 9",  "Save to slot 10", "Save to slot 11", "Save to slot 12",
    "Save to slot 13", "Save to slot 14", "Save to slot 15", "Save to slot 16"};
constexpr std::array<const char*, 16> kRecallSlotTips = {
    "Recall slot 1",  "Recall slot 2",  "Recall slot 3",  "Recall slot 4",  "Recall slot 5",  "Recall slot 6",
    "Recall slot 7",  "Recall slot 8",  "Recall slot 9",  "Recall slot 10", "Recall slot 11", "Recall slot 12",
    "Recall slot 13", "Recall slot 14", "Recall slot 15", "Recall slot 16"};
constexpr std::array<const char*, 4> kPresetSaveTips = {"Preset 1: save", "Preset 2: save", "Preset 3: save",
                                                        "Preset 4: save"};
constexpr std::array<const char*, 4> kPresetRunTips = {"Preset 1: recall", "Preset 2: recall", "Preset 3: recall",
                                                       "Preset 4: recall"};

// One 16-slot grid, eight keys a row, each sending its slot number.
void AddSlotGrid(std::vector<PanelControl>& out, const id::SlotGrid& grid, std::uint8_t commandCode, int row1Y,
                 int row2Y, const std::array<const char*, 16>& tooltips) {
  for (int n = 1; n <= id::kSlotCount; ++n) {
    const int k = (n - 1) % 8;
    out.push_back(Key(id::SlotId(grid, n), {34 + 14 * k, n <= 8 ? row1Y : row2Y, 13, 8}, kDigits[n - 1],
                      Sends(commandCode, n), tooltips[static_cast<std::size_t>(n - 1)]));
  }
}

// Preset Save or Preset Run "1" to "4", each sending its number less one.
void AddPresetRow(std::vector<PanelControl>& out, const std::array<int, 4>& ids, std::uint8_t commandCode, int y,
                  const std::array<const char*, 4>& tooltips) {
  for (int k = 0; k < 4; ++k)
    out.push_back(Key(ids[k], {66 + 21 * k, y, 12, 10}, kDigits[k], Sends(commandCode, k),
                      tooltips[static_cast<std::size_t>(k)]));
}

std::vector<PanelControl> BuildLayout() {
  std::vector<PanelControl> c;
  c.reserve(kPanelControlCount);
  c.push_back(Plain(id::kBackground, K::Background, {0, 0, kPanelWidthDlu, kPanelHeightDlu}, "", true));
  c.push_back(Picture(id::kPairFirst, {7, 8, 21, 17}, P::PairLeft, P::None, Does(A::PairChoice, code::kPairChoice, 0),
                      "Choice: left"));
  c.push_back(Picture(id::kPairSecond, {38, 8, 21, 17}, P::PairRight, P::None,
                      Does(A::PairChoice, code::kPairChoice, 1), "Choice: right"));
  c.push_back(Picture(id::kFreeze, {66, 8, 22, 17}, P::StillCamera, P::CameraWithFlash,
                      Switches(A::FreezeToggle, code::kFreeze, 1, 0), "Freeze the picture"));
  c.push_back(Picture(id::kSaveImage, {96, 8, 21, 17}, P::GreyDisk, P::ColouredDisk, Does(A::SaveImage),
                      "Save the frozen picture\u2026"));
  c.push_back(Picture(id::kPrint, {126, 8, 21, 17}, P::GreyPrinter, P::BluePrinter, Does(A::PrintImage),
                      "Print the frozen picture"));
  c.push_back(Picture(id::kMovie, {135, 8, 22, 17}, P::VideoCamera, P::None, Does(A::Movie),
                      "Record a movie or stop recording", false));
  c.push_back(Plain(id::kLog, K::LogBox, {8, 34, 35, 12}, "", false));
  c.push_back(Plain(id::kRate, K::RateBox, {95, 34, 49, 12}, "", false));
  c.push_back(Key(id::kZoom, {44, 44, 30, 13}, "Zoom", Selects(Adjust::Zoom, {code::kLens, 1, 0, 0x0F}),
                  "Adjust: zoom (hold << or >>)"));
  c.push_back(Key(id::kFocus, {80, 44, 30, 13}, "Focus", Selects(Adjust::Focus, {code::kLens, 7, 8, 0x0F}),
                  "Adjust: focus (hold << or >>)"));
  c.push_back(
      Key(id::kHoldLeft, {13, 61, 19, 13}, "<<", Does(A::PressHold, 0, 0, 0), "Hold to turn the chosen setting down"));
  c.push_back(Key(id::kBright, {44, 61, 30, 13}, "Bright", Selects(Adjust::Bright, StepHold(code::kBright)),
                  "Adjust: brightness (hold << or >>)"));
  c.push_back(Key(id::kSharp, {80, 61, 30, 13}, "Sharp", Selects(Adjust::Sharp, StepHold(code::kSharp)),
                  "Adjust: sharpness (hold << or >>)"));
  c.push_back(
      Key(id::kHoldRight, {123, 61, 19, 13}, ">>", Does(A::PressHold, 0, 0, 1), "Hold to turn the chosen setting up"));
  // Selecting Red or Blue first puts the white balance in manual mode.
  c.push_back(Key(id::kRed, {43, 79, 30, 13}, "Red", ManualBalance(Selects(Adjust::Red, StepHold(code::kRed, true))),
                  "Adjust: red (manual white balance)"));
  c.push_back(Key(id::kBlue, {80, 79, 30, 13}, "Blue",
                  ManualBalance(Selects(Adjust::Blue, StepHold(code::kBlue, true))),
                  "Adjust: blue (manual white balance)"));
  c.push_back(Key(id::kAutoFocus, {5, 109, 43, 13}, "AFocus", Does(A::AutoFocus, code::kAutoFocus),
                  "Focus once, automatically"));
  c.push_back(Key(id::kAwb, {55, 109, 43, 13}, "AWB", Switches(A::WhiteBalance, code::kWhiteBalance, 0, 1),
                  "Automatic white balance on or off"));
  c.push_back(
      Key(id::kDZoom, {106, 109, 42, 13}, "DZoom", Switches(A::DZoom, code::kDZoom, 1, 0), "Digital zoom on or off"));
  c.push_back(
      Key(id::kMirror, {5, 124, 43, 13}, "Mirror", Toggles(::Feature::Mirror, code::kMirror, 4), "Mirror the picture"));
  c.push_back(Key(id::kFlip, {55, 124, 43, 13}, "Flip", Toggles(::Feature::Flip, code::kFlip, 8),
                  "Flip the picture upside down"));
  c.push_back(
      Key(id::kColor, {106, 124, 42, 13}, "Color", Toggles(::Feature::Color, code::kColor, 0x80), "Colour on or off"));
  c.push_back(
      Key(id::kEdge, {5, 139, 43, 13}, "Edge", Toggles(::Feature::Edge, code::kEdge, 0x10), "Edge effect on or off"));
  c.push_back(Key(id::kEmboss, {55, 139, 43, 13}, "Embo", Toggles(::Feature::Emboss, code::kEmboss, 0x40),
                  "Emboss effect on or off"));
  c.push_back(Key(id::kNegative, {106, 139, 42, 13}, "Negative", Toggles(::Feature::Negative, code::kNegative, 0x20),
                  "Negative picture on or off"));
  AddPresetRow(c, id::kPresetSave, code::kPresetSave, 161, kPresetSaveTips);
  AddPresetRow(c, id::kPresetRun, code::kPresetRun, 176, kPresetRunTips);
  AddSlotGrid(c, id::kSaveSlots, code::kSaveSlot, 195, 204, kSaveSlotTips);
  c.push_back(Picture(id::kPicture, {9, 210, 18, 15}, P::VideoCamera, P::None, Sends(code::kPicture, 0),
                      "Picture key of the camera"));
  AddSlotGrid(c, id::kRecallSlots, code::kRecallSlot, 223, 233, kRecallSlotTips);
  c.push_back(Key(id::kXga, {43, 251, 29, 9}, "XGA", Does(A::MonitorOut, code::kMonitorOut, 0), "Monitor out: XGA"));
  c.push_back(Key(id::kSvga, {79, 251, 29, 9}, "SVGA", Does(A::MonitorOut, code::kMonitorOut, 2), "Monitor out: SVGA"));
  c.push_back(Key(id::kVga, {115, 251, 29, 9}, "VGA", Does(A::MonitorOut, code::kMonitorOut, 1), "Monitor out: VGA"));
  c.push_back(Plain(id::kClear, K::PushButton, {57, 259, 64, 12}, "CLEAR", false));
  c.push_back(Picture(id::kInputSelect, {39, 273, 41, 9}, P::InternalWord, P::ExternalWord,
                      Switches(A::InputSelect, code::kInputSelect, 1, 0), "Input: internal or external"));
  c.push_back(Key(id::kLamp, {116, 272, 31, 9}, "LAMP", Sends(code::kLamp, 0), "Switch the lamp"));
  return c;
}

}  // namespace

std::span<const PanelControl> PanelLayout() {
  static const std::vector<PanelControl> layout = BuildLayout();
  return layout;
}

const PanelControl* FindPanelControl(int id) { return panel_id::FindById(PanelLayout(), id); }

DialogBaseUnits DialogBaseUnits::Of(const QFont& font) {
  const QFontMetricsF metrics(font);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  DialogBaseUnits units;
  units.cx = static_cast<int>(std::lround(metrics.horizontalAdvance(letters) / 52.0));
  units.cy = static_cast<int>(std::lround(metrics.height()));
  return units;
}

// Rounded like the system's multiply-then-divide.
int DialogBaseUnits::X(int dlu) const { return static_cast<int>(std::lround(dlu * cx / 4.0)); }
int DialogBaseUnits::Y(int dlu) const { return static_cast<int>(std::lround(dlu * cy / 8.0)); }

QRect DialogBaseUnits::ToPixels(const QRect& dlu) const {
  // Converting the edges, not the size, keeps neighbouring controls from
  // drifting apart by rounding.
  const int left = X(dlu.x());
  const int top = Y(dlu.y());
  return {left, top, X(dlu.x() + dlu.width()) - left, Y(dlu.y() + dlu.height()) - top};
}

QFont PanelDialogFont() {
  QFont font(QStringLiteral("Arial"));
  font.setFamilies(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setPointSize(8);
  return font;
}
