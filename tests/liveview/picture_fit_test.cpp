// A picture shown in a window of another size: where FitPicture puts it, the
// bars around it, and what the view really paints (black bars, the picture
// centred, its colours where the scaled picture puts them).
#include "liveview/picture_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <QColor>
#include <QImage>

#include "liveview/frame_bitmap.h"
#include "liveview/live_view.h"

namespace {

// The pixels a set of rectangles covers, counting overlaps.
std::vector<int> Coverage(const QRect& area, std::initializer_list<QRect> parts) {
  std::vector<int> count(static_cast<std::size_t>(area.width()) * area.height(), 0);
  for (const QRect& part : parts)
    for (int y = part.top(); y <= part.bottom(); ++y)
      for (int x = part.left(); x <= part.right(); ++x)
        if (area.contains(x, y)) ++count[static_cast<std::size_t>(y - area.top()) * area.width() + x - area.left()];
  return count;
}

// Four flat quadrants, so scaling (which blends only near their edges) keeps
// each quadrant's colour inside it.
const QColor kQuadrant[2][2] = {{QColor(220, 30, 30), QColor(30, 200, 40)},
                                {QColor(40, 50, 230), QColor(240, 240, 250)}};

void FillQuadrants(CFrameBitmap& bitmap) {
  const int w = bitmap.Width(), h = bitmap.Height();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const QColor& c = kQuadrant[y * 2 / h][x * 2 / w];
      std::uint8_t* p = bitmap.Pixels() + (static_cast<std::size_t>(y) * w + x) * 3;
      p[0] = static_cast<std::uint8_t>(c.blue());
      p[1] = static_cast<std::uint8_t>(c.green());
      p[2] = static_cast<std::uint8_t>(c.red());
    }
  auto lock = bitmap.LockBuffers();
  bitmap.SyncToPackedBitmap();
}

// Checks a grab of the view: black outside `picture`, and at the middle of
// each quarter of `picture` the colour of the quadrant `quadrantAt` names.
template <typename QuadrantAt>
void ExpectFitted(const QImage& shown, const QRect& picture, QuadrantAt quadrantAt) {
  int barPixels = 0, wrongBars = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (!picture.contains(x, y)) {
        ++barPixels;
        if (shown.pixelColor(x, y) != QColor(Qt::black)) ++wrongBars;
      }
  EXPECT_EQ(wrongBars, 0) << "of " << barPixels << " bar pixels";
  for (int qy = 0; qy < 2; ++qy)
    for (int qx = 0; qx < 2; ++qx) {
      const QPoint p(picture.left() + picture.width() * (2 * qx + 1) / 4,
                     picture.top() + picture.height() * (2 * qy + 1) / 4);
      EXPECT_EQ(shown.pixelColor(p), quadrantAt(qx, qy)) << "quarter " << qx << "," << qy;
    }
  // The picture reaches its rectangle's edges: nothing black just inside.
  for (const QPoint p : {picture.topLeft(), picture.bottomRight(), QPoint(picture.left(), picture.bottom()),
                         QPoint(picture.right(), picture.top())})
    EXPECT_NE(shown.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
}

}  // namespace

TEST(PictureFit, KeepsTheAspectAndCentresInTheArea) {
  struct Case {
    QSize picture;
    QRect area;
    QRect expected;
  };
  for (const Case& c : {
           // Narrower than the area: full height, bars left and right (also a
           // turned picture in a landscape window).
           Case{{1024, 768}, {0, 0, 1920, 1080}, {240, 0, 1440, 1080}},
           Case{{768, 1024}, {0, 0, 1920, 1080}, {555, 0, 810, 1080}},
           // Wider: full width, bars above and below.
           Case{{1024, 768}, {0, 0, 800, 800}, {0, 100, 800, 600}},
           // The same aspect fills the area, larger or smaller.
           Case{{640, 480}, {0, 0, 1280, 960}, {0, 0, 1280, 960}},
           Case{{1024, 768}, {0, 0, 320, 240}, {0, 0, 320, 240}},
           // An area away from the origin: centred in it, not in the window.
           Case{{100, 100}, {50, 20, 300, 100}, {150, 20, 100, 100}},
           // An odd leftover puts the extra pixel after the picture.
           Case{{100, 100}, {0, 0, 101, 100}, {0, 0, 100, 100}},
           // A sliver stays at least a pixel wide.
           Case{{1, 10000}, {0, 0, 500, 10}, {249, 0, 1, 10}},
       }) {
    const QRect fitted = FitPicture(c.picture, c.area);
    EXPECT_EQ(fitted, c.expected) << c.picture.width() << "x" << c.picture.height() << " in " << c.area.width() << "x"
                                  << c.area.height();
    EXPECT_TRUE(c.area.contains(fitted));
  }
  EXPECT_TRUE(FitPicture({0, 768}, {0, 0, 100, 100}).isEmpty());
  EXPECT_TRUE(FitPicture({1024, 768}, {0, 0, 0, 100}).isEmpty());
  EXPECT_TRUE(FitPicture({1024, 768}, QRect()).isEmpty());
}

TEST(PictureFit, BarsAndPictureCoverTheAreaOnceEach) {
  const QRect area(10, 5, 97, 61);
  for (const QSize picture : {QSize(1024, 768), QSize(768, 1024), QSize(97, 61), QSize(3, 200), QSize(500, 2)}) {
    const QRect fitted = FitPicture(picture, area);
    const PictureBars bars = BarsAround(fitted, area);
    const auto count = Coverage(area, {fitted, bars.top, bars.bottom, bars.left, bars.right});
    EXPECT_EQ(std::count(count.begin(), count.end(), 1), static_cast<long>(count.size()))
        << picture.width() << "x" << picture.height();
    for (const QRect& bar : {bars.top, bars.bottom, bars.left, bars.right})
      if (!bar.isEmpty()) {
        EXPECT_TRUE(area.contains(bar));
      }
  }
  // No picture: the whole area is one bar.
  const PictureBars none = BarsAround(QRect(), area);
  EXPECT_EQ(none.top, area);
  EXPECT_TRUE(none.bottom.isEmpty() && none.left.isEmpty() && none.right.isEmpty());
}

TEST(PictureFit, TheViewScalesIntoItsSizeWithBlackBars) {
  CLiveView view;
  CFrameBitmap& bitmap = view.Bitmap();
  ASSERT_TRUE(bitmap.Create(64, 48, 24));
  FillQuadrants(bitmap);
  view.SetFitToWindow(true);
  const auto upright = [](int qx, int qy) { return kQuadrant[qy][qx]; };

  // Wider than the picture: bars left and right; taller: above and below.
  view.resize(200, 100);
  ExpectFitted(view.grab().toImage(), QRect(33, 0, 133, 100), upright);
  view.resize(120, 300);
  ExpectFitted(view.grab().toImage(), QRect(0, 105, 120, 90), upright);
  // Larger and smaller at the picture's own aspect: no bars at all.
  view.resize(256, 192);
  ExpectFitted(view.grab().toImage(), QRect(0, 0, 256, 192), upright);
  view.resize(32, 24);
  ExpectFitted(view.grab().toImage(), QRect(0, 0, 32, 24), upright);

  // Turned a quarter clockwise the picture is 48 x 64: the source's
  // bottom-left quadrant comes to the top left.
  view.SetQuarterTurns(1);
  view.resize(200, 100);
  ExpectFitted(view.grab().toImage(), QRect(62, 0, 75, 100), [](int qx, int qy) { return kQuadrant[1 - qx][qy]; });

  // Without fitting (the window follows the picture) nothing is scaled.
  view.SetQuarterTurns(0);
  view.SetFitToWindow(false);
  view.resize(64, 48);
  ExpectFitted(view.grab().toImage(), QRect(0, 0, 64, 48), upright);
}
