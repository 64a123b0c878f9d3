#include "panel/panel_layout.h"

#include <QFontMetrics>
#include <QStringList>
#include <QString>
#include <cmath>
#include <vector>

namespace {

using K = ControlKind;
using P = PanelPicture;

constexpr const char* kDigits[] = {"1", "2", "3", "4", "5", "6", "7", "8",
                                   "9", "10", "11", "12", "13", "14", "15", "16"};

PanelControl Key(int id, int x, int y, int cx, int cy, const char* caption) {
  return {id, K::Button, x, y, cx, cy, caption, P::None, P::None, true};
}

PanelControl Picture(int id, int x, int y, int cx, int cy, P picture, P latched = P::None, bool visible = true) {
  return {id, K::Button, x, y, cx, cy, "", picture, latched, visible};
}

// One 16-slot grid: ids run first..first+13, then the two extra ids for 15 and 16.
void AddSlotGrid(std::vector<PanelControl>& out, int firstId, int id15, int id16, int row1Y, int row2Y) {
  for (int n = 1; n <= 16; ++n) {
    const int id = n <= 14 ? firstId + n - 1 : (n == 15 ? id15 : id16);
    const int k = (n - 1) % 8;
    out.push_back(Key(id, 34 + 14 * k, n <= 8 ? row1Y : row2Y, 13, 8, kDigits[n - 1]));
  }
}

std::vector<PanelControl> BuildLayout() {
  std::vector<PanelControl> c;
  c.reserve(kPanelControlCount);
  c.push_back({1041, K::Background, 0, 0, 157, 288, "", P::None, P::None, true});
  c.push_back(Picture(1117, 7, 8, 21, 17, P::PairLeft));
  c.push_back(Picture(1118, 38, 8, 21, 17, P::PairRight));
  c.push_back(Picture(1000, 66, 8, 22, 17, P::StillCamera, P::CameraWithFlash));
  c.push_back(Picture(1002, 96, 8, 21, 17, P::GreyDisk, P::ColouredDisk));
  c.push_back(Picture(1001, 126, 8, 21, 17, P::GreyPrinter, P::BluePrinter));
  c.push_back(Picture(1003, 135, 8, 22, 17, P::VideoCamera, P::None, false));
  c.push_back({1127, K::LogBox, 8, 34, 35, 12, "", P::None, P::None, false});
  c.push_back({1129, K::RateBox, 95, 34, 49, 12, "", P::None, P::None, false});
  c.push_back(Key(1048, 44, 44, 30, 13, "Zoom"));
  c.push_back(Key(1052, 80, 44, 30, 13, "Focus"));
  c.push_back(Key(1050, 13, 61, 19, 13, "<<"));
  c.push_back(Key(1053, 44, 61, 30, 13, "Bright"));
  c.push_back(Key(1056, 80, 61, 30, 13, "Sharp"));
  c.push_back(Key(1051, 123, 61, 19, 13, ">>"));
  c.push_back(Key(1059, 43, 79, 30, 13, "Red"));
  c.push_back(Key(1057, 80, 79, 30, 13, "Blue"));
  c.push_back(Key(1125, 5, 109, 43, 13, "AFocus"));
  c.push_back(Key(1058, 55, 109, 43, 13, "AWB"));
  c.push_back(Key(1062, 106, 109, 42, 13, "DZoom"));
  c.push_back(Key(1065, 5, 124, 43, 13, "Mirror"));
  c.push_back(Key(1064, 55, 124, 43, 13, "Flip"));
  c.push_back(Key(1074, 106, 124, 42, 13, "Color"));
  c.push_back(Key(1119, 5, 139, 43, 13, "Edge"));
  c.push_back(Key(1120, 55, 139, 43, 13, "Embo"));
  c.push_back(Key(1063, 106, 139, 42, 13, "Negative"));
  const int presetSave[] = {1060, 1066, 1068, 1069};
  const int presetRun[] = {1070, 1071, 1072, 1073};
  for (int k = 0; k < 4; ++k) c.push_back(Key(presetSave[k], 66 + 21 * k, 161, 12, 10, kDigits[k]));
  for (int k = 0; k < 4; ++k) c.push_back(Key(presetRun[k], 66 + 21 * k, 176, 12, 10, kDigits[k]));
  AddSlotGrid(c, 1075, 1121, 1122, 195, 204);
  c.push_back(Picture(1103, 9, 210, 18, 15, P::VideoCamera));
  AddSlotGrid(c, 1089, 1123, 1124, 223, 233);
  c.push_back(Key(1043, 43, 251, 29, 9, "XGA"));
  c.push_back(Key(1044, 79, 251, 29, 9, "SVGA"));
  c.push_back(Key(1045, 115, 251, 29, 9, "VGA"));
  c.push_back({1128, K::PushButton, 57, 259, 64, 12, "CLEAR", P::None, P::None, false});
  c.push_back(Picture(1046, 39, 273, 41, 9, P::InternalWord, P::ExternalWord));
  c.push_back(Key(1047, 116, 272, 31, 9, "LAMP"));
  return c;
}

}  // namespace

std::span<const PanelControl> PanelLayout() {
  static const std::vector<PanelControl> layout = BuildLayout();
  return layout;
}

const PanelControl* FindPanelControl(int id) {
  for (const PanelControl& entry : PanelLayout())
    if (entry.id == id) return &entry;
  return nullptr;
}

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
