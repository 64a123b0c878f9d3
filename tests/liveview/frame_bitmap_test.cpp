#include "liveview/frame_bitmap.h"

#include <gtest/gtest.h>

#include <cstring>

#include <QImage>
#include <QPainter>

#include "test_pictures.h"

namespace {

std::uint32_t Le32(const std::uint8_t* at) {
  return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}
std::uint16_t Le16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

void FillPattern(CFrameBitmap& bitmap, int seed) {
  const auto picture = PatternPicture(seed, bitmap.Width(), bitmap.Height());
  std::memcpy(bitmap.Pixels(), picture.data(), picture.size());
}

// The stored row that holds picture row y.
const std::uint8_t* StoredRow(const CFrameBitmap& bitmap, int y) {
  return bitmap.PackedBitmap() + CFrameBitmap::kHeaderBytes +
         static_cast<std::size_t>(bitmap.Height() - 1 - y) * bitmap.Stride();
}

QImage Paint(const CFrameBitmap& bitmap, QSize surface, QColor background) {
  QImage target(surface, QImage::Format_RGB32);
  target.fill(background);
  QPainter painter(&target);
  auto lock = bitmap.LockBuffers();
  bitmap.Draw(painter);
  return target;
}

}  // namespace

TEST(FrameBitmapLayout, HeaderAndPaddedStrideForAnOddWidth) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(101, 7, 24));
  EXPECT_EQ(bitmap.RowBytes(), 303);
  EXPECT_EQ(bitmap.Stride(), 304);
  ASSERT_NE(bitmap.PackedBitmap(), nullptr);
  EXPECT_EQ(bitmap.PackedBitmapBytes(), 40u + 304u * 7u);

  const std::uint8_t* h = bitmap.PackedBitmap();
  EXPECT_EQ(Le32(h + 0), 40u);
  EXPECT_EQ(Le32(h + 4), 101u);
  EXPECT_EQ(Le32(h + 8), 7u);
  EXPECT_EQ(Le16(h + 12), 1u);
  EXPECT_EQ(Le16(h + 14), 24u);
  EXPECT_EQ(Le32(h + 16), 0u);
  EXPECT_EQ(Le32(h + 20), 304u * 7u);
  for (int offset = 24; offset < 40; offset += 4) EXPECT_EQ(Le32(h + offset), 0u) << "offset " << offset;
}

TEST(FrameBitmapLayout, SyncStoresRowsBottomUpAndLeavesPaddingAlone) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(101, 5, 24));
  FillPattern(bitmap, 1);
  bitmap.SyncToPackedBitmap();
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(std::memcmp(StoredRow(bitmap, y), bitmap.Pixels() + y * 303, 303), 0) << "row " << y;
    EXPECT_EQ(StoredRow(bitmap, y)[303], 0) << "padding of row " << y;
  }
}

TEST(FrameBitmapCreate, SameSizeKeepsBuffersAndPicture) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(64, 48, 24));
  FillPattern(bitmap, 2);
  const std::uint8_t* pixels = bitmap.Pixels();
  const std::uint8_t* packed = bitmap.PackedBitmap();
  ASSERT_TRUE(bitmap.Create(64, 48, 24));
  EXPECT_EQ(bitmap.Pixels(), pixels);
  EXPECT_EQ(bitmap.PackedBitmap(), packed);
  EXPECT_EQ(bitmap.Pixels()[100], PatternPicture(2, 64, 48)[100]);
}

TEST(FrameBitmapCreate, NewSizeKeepsTheOldPictureInTheTopLeftCorner) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(640, 480, 24));
  FillPattern(bitmap, 3);
  const auto old = PatternPicture(3, 640, 480);

  ASSERT_TRUE(bitmap.Create(1024, 768, 24));
  for (int y : {0, 200, 479}) {
    EXPECT_EQ(std::memcmp(bitmap.Pixels() + y * 1024 * 3, old.data() + y * 640 * 3, 640 * 3), 0) << "row " << y;
    EXPECT_EQ(bitmap.Pixels()[y * 1024 * 3 + 640 * 3], 0) << "right of the old picture, row " << y;
  }
  for (int y : {480, 767}) EXPECT_EQ(bitmap.Pixels()[y * 1024 * 3 + 5], 0) << "below the old picture, row " << y;
  // The packed bitmap is rebuilt from the new buffer at once.
  EXPECT_EQ(std::memcmp(StoredRow(bitmap, 10), old.data() + 10 * 640 * 3, 640 * 3), 0);

  ASSERT_TRUE(bitmap.Create(320, 240, 24));
  EXPECT_EQ(std::memcmp(bitmap.Pixels() + 239 * 320 * 3, old.data() + 239 * 640 * 3, 320 * 3), 0);
}

TEST(FrameBitmapCreate, RefusesSizesTheBufferCannotHold) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(1024, 768, 24));  // exactly the capacity
  const std::uint8_t* pixels = bitmap.Pixels();
  EXPECT_FALSE(bitmap.Create(1024, 769, 24));
  EXPECT_FALSE(bitmap.Create(1280, 1024, 24));
  EXPECT_FALSE(bitmap.Create(0, 480, 24));
  EXPECT_FALSE(bitmap.Create(640, -1, 24));
  EXPECT_FALSE(bitmap.Create(640, 480, 32));
  EXPECT_EQ(bitmap.Width(), 1024);
  EXPECT_EQ(bitmap.Height(), 768);
  EXPECT_EQ(bitmap.Pixels(), pixels);
}

TEST(FrameBitmapCreate, EightBitsHaveNoPackedBitmapAndDrawNothing) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(16, 16, 8));
  EXPECT_EQ(bitmap.PackedBitmap(), nullptr);
  bitmap.SyncToPackedBitmap();  // nothing to write to, and no crash

  QImage target(32, 32, QImage::Format_RGB32);
  target.fill(Qt::green);
  QPainter painter(&target);
  EXPECT_EQ(bitmap.DrawRect(painter, QRect(0, 0, 16, 16), QRect(0, 0, 16, 16)), 0);
  painter.end();
  EXPECT_EQ(target.pixelColor(3, 3), QColor(Qt::green));

  CFrameBitmap empty;
  QPainter again(&target);
  EXPECT_EQ(empty.Draw(again), 0);
}

TEST(FrameBitmapDraw, PaintsOneToOneTopRowFirstAndLeavesTheRestAlone) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(101, 37, 24));
  FillPattern(bitmap, 4);
  bitmap.SyncToPackedBitmap();

  const QImage shown = Paint(bitmap, QSize(120, 50), Qt::magenta);
  for (int y : {0, 1, 18, 36})
    for (int x : {0, 50, 100}) EXPECT_EQ(shown.pixelColor(x, y), PatternColor(4, x, y)) << x << "," << y;
  EXPECT_EQ(shown.pixelColor(101, 0), QColor(Qt::magenta));
  EXPECT_EQ(shown.pixelColor(0, 37), QColor(Qt::magenta));
}

TEST(FrameBitmapDraw, SourceRectangleInPictureCoordinatesStretchedToTheDestination) {
  CFrameBitmap bitmap;
  ASSERT_TRUE(bitmap.Create(40, 30, 24));
  FillPattern(bitmap, 5);
  bitmap.SyncToPackedBitmap();

  QImage target(100, 100, QImage::Format_RGB32);
  target.fill(Qt::black);
  {
    QPainter painter(&target);
    auto lock = bitmap.LockBuffers();
    EXPECT_EQ(bitmap.DrawRect(painter, QRect(10, 5, 8, 6), QRect(50, 60, 16, 12)), 1);
  }
  // Each source pixel becomes a 2 x 2 block.
  EXPECT_EQ(target.pixelColor(50, 60), PatternColor(5, 10, 5));
  EXPECT_EQ(target.pixelColor(51, 61), PatternColor(5, 10, 5));
  EXPECT_EQ(target.pixelColor(65, 71), PatternColor(5, 17, 10));
  EXPECT_EQ(target.pixelColor(58, 66), PatternColor(5, 14, 8));
  EXPECT_EQ(target.pixelColor(49, 60), QColor(Qt::black));
  EXPECT_EQ(target.pixelColor(50, 72), QColor(Qt::black));
}
