// Where a picture goes when it is shown in an area of another size: as large
// as fits with its aspect kept, centred, the rest of the area left for bars.
#pragma once

#include <QRect>
#include <QSize>

// The rectangle inside `area` the picture is scaled onto. An empty picture or
// area gives an empty rectangle.
QRect FitPicture(QSize picture, const QRect& area);

// The up to four bars of `area` that `picture` (a rectangle inside it) leaves
// uncovered: top, bottom, left, right. Empty bars are empty rectangles.
struct PictureBars {
  QRect top, bottom, left, right;
};
PictureBars BarsAround(const QRect& picture, const QRect& area);
