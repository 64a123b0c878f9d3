// The one encoder every writer uses: the same picture gives the same bytes
// whichever way its rows are stored and wherever the file goes.
#include "jpeg/bgr_encoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "jpeg_test_support.h"

namespace {

using jpeg_test::NaturalPicture;
using jpeg_test::Picture;

// The picture's rows bottom-up with `pad` bytes after each, as a packed bitmap stores them.
std::vector<std::uint8_t> BottomUpRows(const Picture& pic, int pad) {
  const std::size_t row = static_cast<std::size_t>(pic.width) * 3;
  std::vector<std::uint8_t> rows((row + pad) * pic.height, 0xA5);
  for (int y = 0; y < pic.height; ++y)
    std::memcpy(rows.data() + (pic.height - 1 - y) * (row + pad), pic.bgr.data() + y * row, row);
  return rows;
}

BgrPicture TopDown(const Picture& pic) { return {.pixels = pic.bgr.data(), .width = pic.width, .height = pic.height}; }

std::vector<std::uint8_t> ToBuffer(CBgrJpegEncoder& encoder, const BgrPicture& picture, std::size_t capacity) {
  std::vector<std::uint8_t> buffer(capacity);
  std::int32_t produced = 0;
  EXPECT_EQ(encoder.EncodeToBuffer(picture, kStillJpegQuality, buffer, produced), JpegSuccess);
  buffer.resize(static_cast<std::size_t>(produced));
  return buffer;
}

TEST(BgrJpegEncoder, BottomUpPaddedRowsGiveTheTopDownBytes) {
  // An odd width pads the rows; an odd height has a middle row.
  const Picture pic = NaturalPicture(101, 33, 7);
  const std::vector<std::uint8_t> reference = jpeg_test::EncodeToMemory(pic, kStillJpegQuality);
  ASSERT_FALSE(reference.empty());
  CBgrJpegEncoder encoder;
  ASSERT_TRUE(encoder.Ready());
  EXPECT_EQ(ToBuffer(encoder, TopDown(pic), 1 << 16), reference);
  const std::vector<std::uint8_t> rows = BottomUpRows(pic, 1);
  const std::vector<std::uint8_t> untouched = rows;
  EXPECT_EQ(
      ToBuffer(encoder, {.pixels = rows.data(), .width = 101, .height = 33, .rowPad = 1, .bottomUp = true}, 1 << 16),
      reference);
  EXPECT_EQ(rows, untouched) << "the caller's rows are read, never turned";
}

TEST(BgrJpegEncoder, FileAndAGrownBufferHoldTheSameBytes) {
  const Picture pic = NaturalPicture(64, 48, 3);
  CBgrJpegEncoder encoder;
  ASSERT_TRUE(encoder.Ready());
  const std::vector<std::uint8_t> roomy = ToBuffer(encoder, TopDown(pic), 1 << 16);
  ASSERT_GT(roomy.size(), 600u);
  // Half the file's size: one doubling is enough, and the buffer keeps it.
  std::vector<std::uint8_t> buffer(roomy.size() / 2 + 1);
  std::int32_t produced = 0;
  ASSERT_EQ(encoder.EncodeToBuffer(TopDown(pic), kStillJpegQuality, buffer, produced), JpegSuccess);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + produced), roomy);
  EXPECT_EQ(buffer.size(), (roomy.size() / 2 + 1) * 2);
  // Far too small even when doubled: a refusal, not a partial file.
  std::vector<std::uint8_t> tiny(16);
  EXPECT_EQ(encoder.EncodeToBuffer(TopDown(pic), kStillJpegQuality, tiny, produced), JpegErrBufferTooSmall);
  EXPECT_EQ(produced, 0);

  jpeg_test::TempDir dir;
  const std::string path = (dir / "still.jpg").string();
  ASSERT_EQ(encoder.EncodeToFile(TopDown(pic), kStillJpegQuality, path.c_str()), JpegSuccess);
  EXPECT_EQ(jpeg_test::ReadFileBytes(path), roomy);
  EXPECT_EQ(encoder.EncodeToFile(TopDown(pic), kStillJpegQuality, (dir / "no/such/folder.jpg").string().c_str()),
            JpegErrInvalidFileName);
}

}  // namespace
