// The stream's exact bytes: segments, tables per quality, and scan data
// worked out by hand.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <numeric>

#include "jpeg/tables.h"
#include "jpeg_test_support.h"

namespace jpeg_test {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& v, std::size_t at, std::size_t n) {
  if (at + n > v.size()) return {};
  return {v.begin() + static_cast<std::ptrdiff_t>(at), v.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

std::size_t SegmentLength(const std::vector<std::uint8_t>& v, std::size_t marker_at) {
  return static_cast<std::size_t>(v[marker_at + 2]) << 8 | v[marker_at + 3];
}

// The DQT bodies (64 values after the id byte) of a stream.
std::vector<std::vector<std::uint8_t>> QuantTables(const std::vector<std::uint8_t>& jpeg) {
  std::vector<std::vector<std::uint8_t>> tables;
  for (std::size_t at = FindMarker(jpeg, 0xDB); at != std::string::npos; at = FindMarker(jpeg, 0xDB, at + 2)) {
    tables.push_back(Slice(jpeg, at + 5, 64));
  }
  return tables;
}

TEST(Stream, HeaderSegmentsInOrder) {
  const auto jpeg = EncodeToMemory(NaturalPicture(48, 32), 75);
  ASSERT_FALSE(jpeg.empty());
  EXPECT_EQ(Slice(jpeg, 0, 20), Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',
                                       0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00}));
  // COM: length 46, the text and its terminating zero.
  EXPECT_EQ(Slice(jpeg, 20, 4), Bytes({0xFF, 0xFE, 0x00, 46}));
  const char text[] = "Tavrocam JPEG Encoder, version [1.00.00.01]";
  EXPECT_EQ(std::memcmp(jpeg.data() + 24, text, sizeof text), 0);
  std::size_t at = 24 + sizeof text;
  for (int id = 0; id < 2; ++id) {
    EXPECT_EQ(Slice(jpeg, at, 5), Bytes({0xFF, 0xDB, 0x00, 67, id}));
    at += 69;
  }
  EXPECT_EQ(Slice(jpeg, at, 4), Bytes({0xFF, 0xC4, 0x01, 0xA2}));  // one DHT of length 418
  EXPECT_EQ(jpeg[at + 4], 0x00);
  EXPECT_EQ(jpeg[at + 4 + 17 + 12], 0x10);
  EXPECT_EQ(jpeg[at + 4 + 17 + 12 + 17 + 162], 0x01);
  EXPECT_EQ(jpeg[at + 4 + 17 + 12 + 17 + 162 + 17 + 12], 0x11);
  at += 420;
  EXPECT_EQ(Slice(jpeg, at, 19),
            Bytes({0xFF, 0xC0, 0x00, 17, 8, 0x00, 32, 0x00, 48, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
  at += 19;
  EXPECT_EQ(Slice(jpeg, at, 14), Bytes({0xFF, 0xDA, 0x00, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));
  EXPECT_EQ(Slice(jpeg, jpeg.size() - 2, 2), Bytes({0xFF, 0xD9}));
}

TEST(Stream, FlatGreyMcuCodesAsDcZeroAndEndOfBlock) {
  // Y = Cb = Cr = 0 everywhere: per MCU four luminance blocks "00" "1010" and
  // two chrominance blocks "00" "00" = 32 bits.
  const auto jpeg = EncodeToMemory(FlatPicture(16, 16, 128, 128, 128), 75);
  EXPECT_EQ(ScanData(jpeg), Bytes({0x28, 0xA2, 0x8A, 0x00}));
  // Two MCUs side by side: the pattern twice, predictors staying at 0.
  const auto wide = EncodeToMemory(FlatPicture(32, 16, 128, 128, 128), 75);
  EXPECT_EQ(ScanData(wide), Bytes({0x28, 0xA2, 0x8A, 0x00, 0x28, 0xA2, 0x8A, 0x00}));
  // The same grey as an edge MCU (3x5 pixels) codes identically.
  const auto edge = EncodeToMemory(FlatPicture(3, 5, 128, 128, 128), 75);
  EXPECT_EQ(ScanData(edge), Bytes({0x28, 0xA2, 0x8A, 0x00}));
}

TEST(Stream, FlatWhiteCodesTheDcStepOnce) {
  // White: Y = (256 x 255 - 32640) >> 8 = 127, DC = 8 x 127 = 1016, quality 100
  // keeps it (reciprocal 32768), so the first block's DC difference is 1016
  // (category 10, code 11111110) and the rest repeat it with difference 0.
  // Chroma from the 2x2 sums: (128 x 1020 - 43 x 1020 - 85 x 1020 + 512) >> 10 = 0.
  const auto jpeg = EncodeToMemory(FlatPicture(16, 16, 255, 255, 255), 100);
  // Y0: 11111110 1111111000 1010 ; Y1..Y3: 00 1010 ; Cb, Cr: 00 00
  // = 11111110 11111110 00101000 10100010 10001010 00000000
  EXPECT_EQ(ScanData(jpeg), Bytes({0xFE, 0xFE, 0x28, 0xA2, 0x8A, 0x00}));
}

TEST(Stream, QualityScalesTheTables) {
  const Picture pic = FlatPicture(8, 8, 10, 20, 30);
  const auto q50 = QuantTables(EncodeToMemory(pic, 50));
  ASSERT_EQ(q50.size(), 2u);
  // Quality 50 is the printed table; zigzag order: 16 11 12 14 12 10 16 14 ...
  EXPECT_EQ(Slice(q50[0], 0, 8), Bytes({16, 11, 12, 14, 12, 10, 16, 14}));
  EXPECT_EQ(q50[0][63], 99);
  EXPECT_EQ(Slice(q50[1], 0, 6), Bytes({17, 18, 18, 24, 21, 24}));
  EXPECT_EQ(q50[1][63], 99);

  const auto q75 = QuantTables(EncodeToMemory(pic, 75));
  EXPECT_EQ(q75[0][0], 8);    // (16 x 50 + 50) / 100
  EXPECT_EQ(q75[0][1], 6);    // (11 x 50 + 50) / 100 = 6
  EXPECT_EQ(q75[1][63], 50);  // (99 x 50 + 50) / 100 = 50

  const std::vector<std::uint8_t> all255(64, 255);
  const std::vector<std::uint8_t> all1(64, 1);
  for (int q : {0, 1, -7}) {
    const auto t = QuantTables(EncodeToMemory(pic, q));
    EXPECT_EQ(t[0], all255) << q;
    EXPECT_EQ(t[1], all255) << q;
  }
  for (int q : {100, 150}) {
    const auto t = QuantTables(EncodeToMemory(pic, q));
    EXPECT_EQ(t[0], all1) << q;
    EXPECT_EQ(t[1], all1) << q;
  }
  const auto q10 = QuantTables(EncodeToMemory(pic, 10));
  EXPECT_EQ(q10[0][0], 80);  // scale 500
  EXPECT_EQ(q10[0][1], 55);
  EXPECT_EQ(q10[1][63], 255);  // 495 clamped
}

TEST(Stream, ChromaUsesTableZeroWithoutColourConversionFlag) {
  JPEG_PROPERTIES p;
  ASSERT_EQ(JpegInit(&p), 0);
  const Picture pic = NaturalPicture(24, 24);
  FillLikeStillCapture(p, pic);
  p.color_conversion = 0;
  std::int32_t rc = -1;
  const std::vector<std::uint8_t> buffer = WriteToBuffer(p, 100000, &rc);
  JpegFree(&p);
  ASSERT_EQ(rc, 0);
  const std::size_t sof = FindMarker(buffer, 0xC0);
  EXPECT_EQ(Slice(buffer, sof + 10, 9), Bytes({1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0}));
  Picture decoded;
  std::string error;
  ASSERT_TRUE(DecodeJpegBytes(buffer, decoded, error)) << error;
  EXPECT_GT(Psnr(pic, decoded), 28.0);
}

TEST(Stream, EveryEntropyCodedFfIsStuffedAndNoMarkerAppearsInTheScan) {
  const auto jpeg = EncodeToMemory(NoisePicture(64, 64, 7), 100);
  const auto scan = ScanData(jpeg);
  ASSERT_FALSE(scan.empty());
  std::size_t stuffed = 0;
  for (std::size_t i = 0; i < scan.size(); ++i) {
    if (scan[i] != 0xFF) continue;
    ASSERT_LT(i + 1, scan.size());
    EXPECT_EQ(scan[i + 1], 0x00) << "at " << i;
    ++stuffed;
    ++i;
  }
  EXPECT_GT(stuffed, 10u);  // noise at quality 100 produces many 0xFF bytes
}

TEST(Stream, LastScanByteIsPaddedWithZeroBits) {
  // White at quality 75: DC (1016 x 4096 + 16384) >> 15 = 127, category 7:
  // 11110 1111111 1010, then three blocks 001010 and chroma 0000 0000 =
  // 42 bits, so the sixth byte carries 6 padding bits, all zero.
  const auto jpeg = EncodeToMemory(FlatPicture(16, 16, 255, 255, 255), 75);
  EXPECT_EQ(ScanData(jpeg), Bytes({0xF7, 0xFA, 0x28, 0xA2, 0x80, 0x00}));
  // A single pixel is still one whole MCU.
  EXPECT_EQ(ScanData(EncodeToMemory(FlatPicture(1, 1, 128, 128, 128), 75)), Bytes({0x28, 0xA2, 0x8A, 0x00}));
}

TEST(Stream, RestartIntervalWritesDriAndCyclingMarkers) {
  JPEG_PROPERTIES p;
  ASSERT_EQ(JpegInit(&p), 0);
  const Picture pic = NaturalPicture(16 * 10, 16);  // ten MCUs
  FillLikeStillCapture(p, pic);
  p.state.restart_interval = 1;
  std::int32_t rc = -1;
  const std::vector<std::uint8_t> buffer = WriteToBuffer(p, 200000, &rc);
  JpegFree(&p);
  ASSERT_EQ(rc, 0);
  const std::size_t dri = FindMarker(buffer, 0xDD);
  ASSERT_NE(dri, std::string::npos);
  EXPECT_EQ(Slice(buffer, dri, 6), Bytes({0xFF, 0xDD, 0x00, 0x04, 0x00, 0x01}));
  std::vector<int> markers;
  const auto scan = ScanData(buffer);
  for (std::size_t i = 0; i + 1 < scan.size(); ++i) {
    if (scan[i] == 0xFF && scan[i + 1] >= 0xD0 && scan[i + 1] <= 0xD7) markers.push_back(scan[i + 1] - 0xD0);
  }
  EXPECT_EQ(markers, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0}));  // none after the last MCU
  Picture decoded;
  std::string error;
  ASSERT_TRUE(DecodeJpegBytes(buffer, decoded, error)) << error;
  EXPECT_GT(Psnr(pic, decoded), 30.0);
}

TEST(Stream, CallerCommentReplacesTheDefaultOne) {
  JPEG_PROPERTIES p;
  ASSERT_EQ(JpegInit(&p), 0);
  const Picture pic = FlatPicture(8, 8, 1, 2, 3);
  FillLikeStillCapture(p, pic);
  const std::uint8_t comment[] = {'h', 'e', 'l', 'l', 'o'};
  p.state.comment = comment;
  p.state.comment_length = sizeof comment;
  std::vector<std::uint8_t> buffer(10000);
  p.jpeg_buffer = buffer.data();
  p.jpeg_size = static_cast<std::int32_t>(buffer.size());
  ASSERT_EQ(JpegWrite(&p, WholeImageToBuffer), 0);
  EXPECT_EQ(Slice(buffer, 20, 9), Bytes({0xFF, 0xFE, 0x00, 7, 'h', 'e', 'l', 'l', 'o'}));
  p.state.comment_length = 0;  // an empty caller comment means no COM at all
  ASSERT_EQ(JpegWrite(&p, WholeImageToBuffer), 0);
  EXPECT_EQ(Slice(buffer, 20, 2), Bytes({0xFF, 0xDB}));
  JpegFree(&p);
}

TEST(Stream, SegmentLengthsMatchTheirContents) {
  const auto jpeg = EncodeToMemory(NaturalPicture(33, 17), 75);
  std::size_t at = 2;
  std::vector<int> order;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA) {
    order.push_back(jpeg[at + 1]);
    at += 2 + SegmentLength(jpeg, at);
  }
  EXPECT_EQ(order, (std::vector<int>{0xE0, 0xFE, 0xDB, 0xDB, 0xC4, 0xC0}));
  ASSERT_LT(at + 1, jpeg.size());
  EXPECT_EQ(jpeg[at + 1], 0xDA);
}

// A table announcing all 256 byte values: 255 codes of 9 bits and one of 10.
struct FullTable {
  std::array<std::uint8_t, 16> counts{0, 0, 0, 0, 0, 0, 0, 0, 255, 1};
  std::array<std::uint8_t, 256> symbols{};
  FullTable() { std::iota(symbols.begin(), symbols.end(), std::uint8_t{0}); }
};

// Encodes pic with the given Huffman descriptors placed in the working state.
std::vector<std::uint8_t> EncodeWithTables(const Picture& pic, const std::vector<jpeg::HuffmanDescriptor>& tables,
                                           std::int32_t& rc) {
  JPEG_PROPERTIES p;
  EXPECT_EQ(JpegInit(&p), 0);
  FillLikeStillCapture(p, pic);
  for (std::size_t i = 0; i < tables.size(); ++i) p.state.huffman[i] = tables[i];
  p.state.huffman_pairs = static_cast<std::int32_t>(tables.size() / 2);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(pic.width) * pic.height * 8 + 8192);
  p.jpeg_buffer = out.data();
  p.jpeg_size = static_cast<std::int32_t>(out.size());
  rc = JpegWrite(&p, WholeImageToBuffer);
  out.resize(rc == 0 ? static_cast<std::size_t>(p.jpeg_size) : 0);
  JpegFree(&p);
  return out;
}

TEST(Stream, CustomTablesOfAnySizeFillOneDhtSegment) {
  const Picture pic = NaturalPicture(40, 24, 3);
  const FullTable full;
  const jpeg::HuffmanDescriptor dc_luma{jpeg::kDcLuminanceCounts.data(), jpeg::kDcLuminanceSymbols.data(), 0, 0};

  // Four DC tables and four AC tables of every byte value: 1,210 bytes of
  // tables, which a decoder reads and which code the same coefficients.
  std::vector<jpeg::HuffmanDescriptor> tables;
  for (int id = 0; id < 4; ++id) {
    tables.push_back({dc_luma.counts, dc_luma.symbols, 0, id});
    tables.push_back({full.counts.data(), full.symbols.data(), 1, id});
  }
  std::int32_t rc = -1;
  const auto jpeg = EncodeWithTables(pic, tables, rc);
  ASSERT_EQ(rc, 0);
  const std::size_t dht = FindMarker(jpeg, 0xC4);
  ASSERT_NE(dht, std::string::npos);
  EXPECT_EQ(SegmentLength(jpeg, dht), 2u + 8 * 17 + 4 * 12 + 4 * 256);
  std::size_t at = dht + 4;
  for (const auto& d : tables) {
    const std::size_t n = d.table_class == 0 ? 12 : 256;
    ASSERT_LE(at + 17 + n, jpeg.size());
    EXPECT_EQ(jpeg[at], d.table_class * 16 + d.id);
    EXPECT_EQ(std::memcmp(jpeg.data() + at + 1, d.counts, 16), 0);
    EXPECT_EQ(std::memcmp(jpeg.data() + at + 17, d.symbols, n), 0);
    at += 17 + n;
  }
  EXPECT_EQ(Slice(jpeg, at, 2), Bytes({0xFF, 0xC0}));
  Picture custom, standard;
  std::string error;
  ASSERT_TRUE(DecodeJpegBytes(jpeg, custom, error)) << error;
  ASSERT_TRUE(DecodeJpegBytes(EncodeToMemory(pic, 75), standard, error)) << error;
  EXPECT_EQ(custom.bgr, standard.bgr);

  // All eight descriptors holding 256 symbols: the largest segment there is.
  for (int i = 0; i < 8; ++i) tables[i] = {full.counts.data(), full.symbols.data(), i % 2, i / 2};
  const auto largest = EncodeWithTables(pic, tables, rc);
  ASSERT_EQ(rc, 0);
  const std::size_t big = FindMarker(largest, 0xC4);
  ASSERT_NE(big, std::string::npos);
  EXPECT_EQ(SegmentLength(largest, big), 2u + 8 * (17 + 256));
  EXPECT_EQ(Slice(largest, big + 2 + 2 + 8 * (17 + 256), 2), Bytes({0xFF, 0xC0}));
  EXPECT_EQ(Slice(largest, largest.size() - 2, 2), Bytes({0xFF, 0xD9}));
}

}  // namespace
}  // namespace jpeg_test
