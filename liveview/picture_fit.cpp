#include "liveview/picture_fit.h"

#include <cstdint>

QRect FitPicture(QSize picture, const QRect& area) {
  if (picture.isEmpty() || area.isEmpty()) return {};
  // Compare the aspects in integers: width-limited when the picture is wider
  // than the area, relative to their heights.
  const std::int64_t pw = picture.width(), ph = picture.height();
  const std::int64_t aw = area.width(), ah = area.height();
  QSize fitted;
  if (pw * ah >= aw * ph) {
    fitted = QSize(static_cast<int>(aw), static_cast<int>((ph * aw + pw / 2) / pw));
  } else {
    fitted = QSize(static_cast<int>((pw * ah + ph / 2) / ph), static_cast<int>(ah));
  }
  fitted = fitted.expandedTo(QSize(1, 1)).boundedTo(area.size());
  const QPoint corner(area.left() + (area.width() - fitted.width()) / 2,
                      area.top() + (area.height() - fitted.height()) / 2);
  return {corner, fitted};
}

PictureBars BarsAround(const QRect& picture, const QRect& area) {
  if (picture.isEmpty()) return {area, {}, {}, {}};
  const QRect inside = picture & area;
  PictureBars bars;
  bars.top = QRect(area.left(), area.top(), area.width(), inside.top() - area.top());
  bars.bottom = QRect(area.left(), inside.bottom() + 1, area.width(), area.bottom() - inside.bottom());
  bars.left = QRect(area.left(), inside.top(), inside.left() - area.left(), inside.height());
  bars.right = QRect(inside.right() + 1, inside.top(), area.right() - inside.right(), inside.height());
  return bars;
}
