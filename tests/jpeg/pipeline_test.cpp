// Whole encodes: identical bytes to the plain second encoder for every
// picture shape, identical bytes for every row layout, and picture quality
// as an independent decoder sees it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "jpeg_test_support.h"
#include "reference_encoder.h"

namespace jpeg_test {
namespace {

struct Shape {
  int width;
  int height;
};

// Full MCUs, every kind of edge MCU, single rows and columns.
constexpr Shape kShapes[] = {{1, 1},   {1, 17},  {17, 1},  {2, 2},   {15, 15}, {16, 16}, {17, 17},
                             {24, 24}, {31, 33}, {33, 31}, {48, 16}, {16, 48}, {70, 46}, {100, 75}};

TEST(Exactness, NaturalPicturesMatchTheReferenceEncoder) {
  for (const Shape& s : kShapes) {
    const Picture pic = NaturalPicture(s.width, s.height, static_cast<std::uint32_t>(s.width * 131 + s.height));
    for (int quality : {75, 1, 50, 100}) {
      std::int32_t rc = -1;
      const auto jpeg = EncodeToMemory(pic, quality, &rc);
      ASSERT_EQ(rc, 0);
      ASSERT_EQ(jpeg, ReferenceEncode(pic, quality)) << s.width << "x" << s.height << " q" << quality;
    }
  }
}

// Run once per processor class and vector set: edge MCUs (widths not a
// multiple of 16, odd heights) with padded rows, top-down and bottom-up,
// from exact-size buffers so that a vector load past the last row is caught.
TEST(Exactness, PaddedAndBottomUpEdgeShapesMatchTheReferenceEncoder) {
  for (const Shape& s : {Shape{17, 15}, Shape{33, 31}, Shape{47, 1}, Shape{1, 33}, Shape{64, 48}, Shape{50, 19}}) {
    const Picture pic = NaturalPicture(s.width, s.height, static_cast<std::uint32_t>(s.width + 7 * s.height));
    const std::size_t row = static_cast<std::size_t>(s.width) * 3;
    for (int quality : {75, 100}) {
      const auto expected = ReferenceEncode(pic, quality);
      for (int pad : {0, 1, 7}) {
        const std::size_t stride = row + static_cast<std::size_t>(pad);
        std::vector<std::uint8_t> top_down(stride * static_cast<std::size_t>(s.height) - pad, 0xFF);
        std::vector<std::uint8_t> bottom_up(top_down.size(), 0xFF);
        for (int y = 0; y < s.height; ++y) {
          std::memcpy(&top_down[static_cast<std::size_t>(y) * stride], &pic.bgr[static_cast<std::size_t>(y) * row],
                      row);
          std::memcpy(&bottom_up[static_cast<std::size_t>(s.height - 1 - y) * stride],
                      &pic.bgr[static_cast<std::size_t>(y) * row], row);
        }
        EXPECT_EQ(EncodeRows(top_down.data(), s.width, s.height, pad, quality), expected)
            << s.width << "x" << s.height << " pad " << pad << " q" << quality;
        EXPECT_EQ(EncodeRows(bottom_up.data(), s.width, -s.height, pad, quality), expected)
            << s.width << "x" << s.height << " bottom-up pad " << pad << " q" << quality;
      }
    }
  }
}

TEST(Exactness, NoiseAndFullSwingPicturesMatchTheReferenceEncoder) {
  // Noise exercises long codes, large values and 0xFF stuffing; the
  // checkerboard drives the DCT to its extremes.
  Picture board = FlatPicture(40, 40, 0, 0, 0);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      if ((x + y) % 2 == 0) std::memset(&board.bgr[static_cast<std::size_t>((y * 40 + x) * 3)], 255, 3);
    }
  }
  for (const Picture& pic : {NoisePicture(48, 40, 3), NoisePicture(37, 29, 4), board}) {
    for (int quality : {100, 90, 20}) {
      std::int32_t rc = -1;
      const auto jpeg = EncodeToMemory(pic, quality, &rc);
      ASSERT_EQ(rc, 0);
      ASSERT_EQ(jpeg, ReferenceEncode(pic, quality)) << pic.width << "x" << pic.height << " q" << quality;
    }
  }
}

TEST(Exactness, PinnedChecksumOfAFixedPicture) {
  // Guards the stream against silent change: any kernel variant or rewrite
  // must keep these bytes.
  const Picture pic = NaturalPicture(37, 29, 5);
  const auto jpeg = EncodeToMemory(pic, 75);
  ASSERT_EQ(jpeg, ReferenceEncode(pic, 75));
  EXPECT_EQ(Fnv1a(jpeg), 10925361718464168642ull) << "size " << jpeg.size();
}

TEST(Layout, BottomUpAndPaddedRowsGiveTheSameBytes) {
  for (const Shape& s : {Shape{1, 1}, Shape{1, 19}, Shape{23, 17}, Shape{64, 48}}) {
    const Picture pic = NaturalPicture(s.width, s.height, 9);
    const auto expected = EncodeToMemory(pic, 75);
    const std::size_t row = static_cast<std::size_t>(s.width) * 3;
    for (int pad : {0, 1, 2, 3, 13}) {
      // Padding is filled with a value that would show if it were read.
      const std::size_t stride = row + static_cast<std::size_t>(pad);
      std::vector<std::uint8_t> top_down(stride * static_cast<std::size_t>(s.height), 0xFF);
      std::vector<std::uint8_t> bottom_up(top_down.size(), 0xFF);
      for (int y = 0; y < s.height; ++y) {
        std::memcpy(&top_down[static_cast<std::size_t>(y) * stride], &pic.bgr[static_cast<std::size_t>(y) * row], row);
        std::memcpy(&bottom_up[static_cast<std::size_t>(s.height - 1 - y) * stride],
                    &pic.bgr[static_cast<std::size_t>(y) * row], row);
      }
      // Exact-size copies so that any read past the rows is caught.
      const std::vector<std::uint8_t> td(top_down.begin(), top_down.end() - pad);
      const std::vector<std::uint8_t> bu(bottom_up.begin(), bottom_up.end() - pad);
      EXPECT_EQ(EncodeRows(td.data(), s.width, s.height, pad, 75), expected) << "pad " << pad;
      EXPECT_EQ(EncodeRows(bu.data(), s.width, -s.height, pad, 75), expected) << "bottom-up pad " << pad;
    }
  }
}

TEST(Layout, SmallerJpegThanBitmapCropsTheTopLeft) {
  const Picture pic = NaturalPicture(40, 30, 2);
  Picture crop;
  crop.width = 21;
  crop.height = 13;
  for (int y = 0; y < crop.height; ++y) {
    crop.bgr.insert(crop.bgr.end(), pic.bgr.begin() + y * 120, pic.bgr.begin() + y * 120 + 63);
  }
  JPEG_PROPERTIES p;
  ASSERT_EQ(JpegInit(&p), 0);
  FillLikeStillCapture(p, pic);
  p.jpeg_width = crop.width;
  p.jpeg_height = crop.height;
  std::int32_t rc = -1;
  const std::vector<std::uint8_t> buffer = WriteToBuffer(p, 100000, &rc);
  JpegFree(&p);
  ASSERT_EQ(rc, 0);
  Picture decoded;
  std::string error;
  ASSERT_TRUE(DecodeJpegBytes(buffer, decoded, error)) << error;
  ASSERT_EQ(decoded.width, crop.width);
  ASSERT_EQ(decoded.height, crop.height);
  EXPECT_GT(Psnr(crop, decoded), 26.0);
}

TEST(Quality, SweepKeepsAPsnrFloorAndGrowsWithQuality) {
  const Picture pic = NaturalPicture(96, 64, 21);
  double previous_psnr = 0;
  std::size_t previous_size = 0;
  // Every quality at the low end, where the tables change fastest, then every third.
  for (int quality = 1; quality <= 100; quality += quality < 10 ? 1 : 3) {
    std::int32_t rc = -1;
    const auto jpeg = EncodeToMemory(pic, quality, &rc);
    ASSERT_EQ(rc, 0) << quality;
    Picture decoded;
    std::string error;
    ASSERT_TRUE(DecodeJpegBytes(jpeg, decoded, error)) << "q" << quality << ": " << error;
    ASSERT_EQ(decoded.width, pic.width);
    ASSERT_EQ(decoded.height, pic.height);
    const double psnr = Psnr(pic, decoded);
    // Floors: coarse at the bottom, then rising with the quality.
    const double floor = quality < 10 ? 18.0 : quality < 50 ? 24.0 : quality < 90 ? 28.0 : 31.0;
    EXPECT_GT(psnr, floor) << "q" << quality;
    if (quality % 10 == 1) {
      EXPECT_GT(psnr, previous_psnr - 0.05) << "q" << quality;
      EXPECT_GT(jpeg.size(), previous_size) << "q" << quality;
      previous_psnr = psnr;
      previous_size = jpeg.size();
    }
  }
}

TEST(Quality, FlatColoursSurviveClosely) {
  // Each flat colour decodes to within a few levels of itself everywhere,
  // edge MCUs included.
  const std::uint8_t colours[][3] = {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {30, 160, 90}};
  for (const auto& c : colours) {
    const Picture pic = FlatPicture(27, 19, c[0], c[1], c[2]);
    Picture decoded;
    std::string error;
    ASSERT_TRUE(DecodeJpegBytes(EncodeToMemory(pic, 90), decoded, error)) << error;
    EXPECT_LE(MaxAbsDifference(pic, decoded), 6) << int(c[0]) << "," << int(c[1]) << "," << int(c[2]);
  }
}

}  // namespace
}  // namespace jpeg_test
