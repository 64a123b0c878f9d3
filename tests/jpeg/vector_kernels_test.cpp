// Every vector kernel against the plain one: the same results on random,
// extreme and degenerate input, so a file's bytes never depend on the processor.
#include "jpeg/vector_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#if defined(TAVROCAM_JPEG_X86_KERNELS) && defined(__SSE2__)
#include "jpeg/fdct_samples_lanes.h"
#endif
#include "jpeg/jpeg.h"
#include "jpeg/kernels.h"
#include "jpeg/tables.h"
#include "jpeg_test_support.h"

namespace jpeg_test {
namespace {

using Block = std::array<std::int16_t, 64>;

struct Variant {
  std::string name;
  jpeg::FdctFn fdct;
  jpeg::QuantizeFn quantize;
  jpeg::ExtractFn extract;
  jpeg::HuffmanBlockFn huffman;
  jpeg::EncodeMcuFn encode_mcu;
};

// The vector sets this machine can run; an empty list skips the comparisons.
std::vector<Variant> RunnableVariants() {
  [[maybe_unused]] const jpeg::VectorSupport support = jpeg::DetectVectorSupport();
  std::vector<Variant> variants;
#ifdef TAVROCAM_JPEG_X86_KERNELS
  if (support.sse2) {
    variants.push_back({"sse2", jpeg::fdct_islow_sse2, jpeg::quantize_sse2, jpeg::extract_bgr_ycc_2x2_sse2,
                        jpeg::huffman_block_sse2, jpeg::encode_mcu_sse2});
  }
  if (support.avx2) {
    variants.push_back({"avx2", jpeg::fdct_islow_avx2, jpeg::quantize_avx2, jpeg::extract_bgr_ycc_2x2_avx2,
                        jpeg::huffman_block_avx2, jpeg::encode_mcu_avx2});
  }
  if (support.avx512) {  // the quantiser has no form of its own
    variants.push_back({"avx512", jpeg::fdct_islow_avx512, jpeg::quantize_avx2, jpeg::extract_bgr_ycc_2x2_avx512,
                        jpeg::huffman_block_avx512, jpeg::encode_mcu_avx512});
  }
#endif
  return variants;
}

// Level-shifted samples as the extraction produces them (-128..127): random,
// the range's ends, checkerboards of both ends, zero, a single spike.
std::vector<Block> SampleBlocks() {
  std::vector<Block> blocks;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> sample(-128, 127);
  for (int i = 0; i < 400; ++i) {
    Block b;
    for (auto& v : b) v = static_cast<std::int16_t>(sample(rng));
    blocks.push_back(b);
  }
  for (int level : {-128, 127, 0}) {
    Block b;
    b.fill(static_cast<std::int16_t>(level));
    blocks.push_back(b);
  }
  for (int phase = 0; phase < 2; ++phase) {
    Block b;
    for (int i = 0; i < 64; ++i) b[i] = static_cast<std::int16_t>((((i >> 3) + i + phase) & 1) ? 127 : -128);
    blocks.push_back(b);
  }
  for (int at = 0; at < 64; ++at) {
    Block b{};
    b[at] = at % 2 ? 127 : -128;
    blocks.push_back(b);
  }
  // The extremes of every coefficient: each row follows the signs of one
  // row basis function, the rows' choice follows the signs of one column
  // basis function. These drive the transform's intermediates (sums of four
  // row results, the odd part's products) to the ends of their ranges.
  const auto sign = [](int i, int k) { return std::cos((2 * i + 1) * k * std::numbers::pi / 16) >= 0 ? 1 : -1; };
  for (int row_k = 0; row_k < 8; ++row_k) {
    for (int column_k = 0; column_k < 8; ++column_k) {
      for (int s : {1, -1}) {
        Block b;
        for (int j = 0; j < 8; ++j) {
          for (int i = 0; i < 8; ++i) b[8 * j + i] = s * sign(j, column_k) * sign(i, row_k) > 0 ? 127 : -128;
        }
        blocks.push_back(b);
      }
    }
  }
  return blocks;
}

TEST(VectorKernels, FdctMatchesPlainOnEveryBlock) {
  for (const Variant& v : RunnableVariants()) {
    for (const Block& in : SampleBlocks()) {
      Block expected = in;
      Block actual = in;
      jpeg::fdct_islow_plain(expected.data());
      v.fdct(actual.data());
      ASSERT_EQ(actual, expected) << v.name;
    }
  }
}

#if defined(TAVROCAM_JPEG_X86_KERNELS) && defined(__SSE2__)
// The MCU kernels' transform keeps its intermediates in 16-bit lanes, which
// holds only for the extraction's samples: luma in -128..127, chroma in
// -127..128 (a pure red or blue gives 128). Its SSE2 form (the AVX2 one is
// the same body on wider registers) against the plain transform on many
// blocks of either range's two ends, where the intermediates peak, and of
// random samples.
TEST(VectorKernels, SampleTransformMatchesPlainAcrossTheSampleRange) {
  std::mt19937 rng(11);
  std::bernoulli_distribution high(0.5);
  std::vector<Block> blocks = SampleBlocks();
  for (const Block& luma : SampleBlocks()) {
    Block chroma;  // the same patterns one level up: -127..128
    for (int k = 0; k < 64; ++k) chroma[k] = static_cast<std::int16_t>(luma[k] + 1);
    blocks.push_back(chroma);
  }
  for (int lowest : {-128, -127}) {
    std::uniform_int_distribution<int> sample(lowest, lowest + 255);
    for (int i = 0; i < 20000; ++i) {
      Block b;
      for (auto& v : b) v = static_cast<std::int16_t>(i % 2 == 0 ? (high(rng) ? lowest + 255 : lowest) : sample(rng));
      blocks.push_back(b);
    }
  }
  for (const Block& in : blocks) {
    Block expected = in;
    alignas(16) Block actual = in;
    jpeg::fdct_islow_plain(expected.data());
    jpeg::FdctSamples(actual.data());
    ASSERT_EQ(actual, expected);
    // The MCU kernels' coders take two AC values between flushes, which
    // holds while every AC value stays below 2048.
    for (int k = 1; k < 64; ++k) ASSERT_LT(std::abs(expected[k]), 2048) << k;
  }
}
#endif

TEST(VectorKernels, QuantizeMatchesPlainOverTheWholeCoefficientRange) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> coefficient(-32768, 32767);
  std::uniform_int_distribution<int> divisor(1, 255);
  alignas(32) std::uint16_t reciprocals[64];
  for (const Variant& v : RunnableVariants()) {
    for (int round = 0; round < 300; ++round) {
      for (auto& r : reciprocals) r = static_cast<std::uint16_t>(32768 / divisor(rng));
      if (round == 0) std::fill(std::begin(reciprocals), std::end(reciprocals), std::uint16_t{32768});
      Block in;
      for (auto& c : in) c = static_cast<std::int16_t>(coefficient(rng));
      if (round == 1) in.fill(-32768);  // saturating ends with the largest reciprocal
      if (round == 2) in.fill(32767);
      Block expected = in;
      Block actual = in;
      jpeg::quantize_plain(expected.data(), reciprocals);
      v.quantize(actual.data(), reciprocals);
      ASSERT_EQ(actual, expected) << v.name << " round " << round;
    }
  }
}

std::vector<std::int16_t> Extract(jpeg::ExtractFn fn, const std::uint8_t* src, std::ptrdiff_t stride, int columns,
                                  int rows) {
  std::vector<std::int16_t> ws(6 * 64, 0x5A5A);
  fn(src, stride, columns, rows, ws.data());
  return ws;
}

TEST(VectorKernels, ExtractMatchesPlainForWholeAndPartialMcusBothRowOrders) {
  constexpr int kStride = 16 * 3 + 5;  // rows with padding
  std::mt19937 rng(5);
  std::vector<std::vector<std::uint8_t>> pictures;
  for (int i = 0; i < 20; ++i) {
    std::vector<std::uint8_t> pic(16 * kStride);
    for (auto& p : pic) p = static_cast<std::uint8_t>(rng());
    pictures.push_back(pic);
  }
  pictures.emplace_back(16 * kStride, std::uint8_t{0});
  pictures.emplace_back(16 * kStride, std::uint8_t{255});
  std::vector<std::uint8_t> stripes(16 * kStride);
  for (std::size_t i = 0; i < stripes.size(); ++i) stripes[i] = (i / 3) % 2 ? 255 : 0;
  pictures.push_back(stripes);

  for (const Variant& v : RunnableVariants()) {
    for (const auto& pic : pictures) {
      for (int rows = 1; rows <= 16; ++rows) {
        for (int columns = 1; columns <= 16; ++columns) {
          ASSERT_EQ(Extract(v.extract, pic.data(), kStride, columns, rows),
                    Extract(jpeg::extract_bgr_ycc_2x2_plain, pic.data(), kStride, columns, rows))
              << v.name << " " << columns << "x" << rows;
          // Bottom-up: the MCU's top row is the buffer's last.
          const std::uint8_t* last_row = pic.data() + 15 * kStride;
          ASSERT_EQ(Extract(v.extract, last_row, -kStride, columns, rows),
                    Extract(jpeg::extract_bgr_ycc_2x2_plain, last_row, -kStride, columns, rows))
              << v.name << " bottom-up " << columns << "x" << rows;
        }
      }
    }
  }
}

// Quantised blocks as the coder sees them: sparse, dense, empty, one value at
// each position, the largest codable magnitudes and long zero runs.
std::vector<Block> CoefficientBlocks() {
  std::vector<Block> blocks;
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> small(-20, 20);
  std::uniform_int_distribution<int> large(-1023, 1023);
  std::uniform_int_distribution<int> percent(0, 99);
  for (int density : {5, 30, 100}) {
    for (int i = 0; i < 100; ++i) {
      Block b{};
      for (int k = 0; k < 64; ++k) {
        if (percent(rng) < density) b[k] = static_cast<std::int16_t>(i % 4 == 0 ? large(rng) : small(rng));
      }
      b[0] = static_cast<std::int16_t>(large(rng));
      blocks.push_back(b);
    }
  }
  blocks.push_back(Block{});
  for (int at = 0; at < 64; ++at) {
    Block b{};
    b[at] = at % 2 ? 1023 : -1023;
    blocks.push_back(b);
  }
  Block full;
  for (int k = 0; k < 64; ++k) full[k] = static_cast<std::int16_t>(k % 2 ? -1023 : 1023);
  blocks.push_back(full);
  return blocks;
}

struct Coded {
  std::vector<std::uint8_t> bytes;
  std::int32_t predictor;
  std::int32_t error;
};

// Codes all blocks into a buffer of the given capacity, the way the encoder
// does: luminance tables, one running predictor, the pending bits completed.
Coded CodeAll(jpeg::HuffmanBlockFn coder, const std::vector<Block>& blocks, std::size_t capacity) {
  jpeg::HuffmanCodeTable dc{};
  jpeg::HuffmanCodeTable ac{};
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(jpeg::kDcLuminanceCounts.data(), jpeg::kDcLuminanceSymbols.data(), dc), 0);
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(jpeg::kAcLuminanceCounts.data(), jpeg::kAcLuminanceSymbols.data(), ac), 0);
  std::vector<std::uint8_t> buffer(capacity);
  auto sink = std::make_unique<jpeg::OutputSink>();
  jpeg::sink_init_plain(*sink, -1, buffer.data(), static_cast<std::int64_t>(capacity));
  std::int32_t predictor = 0;
  for (const Block& b : blocks) {
    alignas(32) Block aligned = b;
    coder(*sink, aligned.data(), predictor, dc, ac);
  }
  jpeg::sink_write_plain(*sink, nullptr, 0);
  buffer.resize(static_cast<std::size_t>(sink->cur - sink->start));
  return {buffer, predictor, sink->error};
}

TEST(VectorKernels, HuffmanCoderWritesThePlainCodersBytes) {
  const std::vector<Block> blocks = CoefficientBlocks();
  const Coded expected = CodeAll(jpeg::huffman_block_plain, blocks, 1 << 20);
  ASSERT_EQ(expected.error, 0);
  ASSERT_GT(expected.bytes.size(), 1000u);
  for (const Variant& v : RunnableVariants()) {
    const Coded actual = CodeAll(v.huffman, blocks, 1 << 20);
    EXPECT_EQ(actual.error, 0) << v.name;
    EXPECT_EQ(actual.predictor, expected.predictor) << v.name;
    EXPECT_EQ(actual.bytes, expected.bytes) << v.name;
  }
}

TEST(VectorKernels, HuffmanCoderFailsLikePlainWhenTheBufferRunsOut) {
  const std::vector<Block> blocks = CoefficientBlocks();
  for (std::size_t capacity : {std::size_t{3}, std::size_t{64}, std::size_t{1001}}) {
    const Coded expected = CodeAll(jpeg::huffman_block_plain, blocks, capacity);
    EXPECT_NE(expected.error, 0);
    for (const Variant& v : RunnableVariants()) {
      const Coded actual = CodeAll(v.huffman, blocks, capacity);
      EXPECT_EQ(actual.error, expected.error) << v.name << " capacity " << capacity;
      EXPECT_EQ(actual.bytes, expected.bytes) << v.name << " capacity " << capacity;
    }
  }
}

// MCUs as the extraction leaves them (four Y blocks, Cb, Cr), coded the way
// the scan does: running predictors, luminance tables for Y and chrominance
// tables for the rest, the pending bits completed at the end.
Coded EncodeMcus(jpeg::EncodeMcuFn encode, const std::vector<Block>& samples, std::int32_t quality,
                 std::size_t capacity, const std::vector<int>& layout = {4, 1, 1}) {
  jpeg::HuffmanCodeTable tables[4]{};
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(jpeg::kDcLuminanceCounts.data(), jpeg::kDcLuminanceSymbols.data(), tables[0]),
            0);
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(jpeg::kAcLuminanceCounts.data(), jpeg::kAcLuminanceSymbols.data(), tables[1]),
            0);
  EXPECT_EQ(
      jpeg::BuildHuffmanCodeTable(jpeg::kDcChrominanceCounts.data(), jpeg::kDcChrominanceSymbols.data(), tables[2]), 0);
  EXPECT_EQ(
      jpeg::BuildHuffmanCodeTable(jpeg::kAcChrominanceCounts.data(), jpeg::kAcChrominanceSymbols.data(), tables[3]), 0);
  alignas(32) std::uint16_t reciprocals[2][64];
  const std::uint8_t* bases[2] = {jpeg::kLuminanceQuant.data(), jpeg::kChrominanceQuant.data()};
  for (int t = 0; t < 2; ++t) {
    std::uint16_t prepared[64];
    jpeg::ScaleQuantTable(std::span<const std::uint8_t, 64>(bases[t], 64), quality, prepared);
    jpeg::ReciprocalTable(prepared, reciprocals[t]);
  }
  const int count = static_cast<int>(layout.size());
  int per_mcu = 0;
  for (int blocks : layout) per_mcu += blocks;
  auto components = std::make_unique<jpeg::McuComponent[]>(layout.size());
  for (int i = 0; i < count; ++i) {
    jpeg::McuComponent& c = components[i];
    const int t = i == 0 ? 0 : 1;
    c.blocks = layout[i];
    c.reciprocals = reciprocals[t];
    for (int z = 0; z < 64; ++z) c.zigzag_reciprocals[z] = reciprocals[t][jpeg::kZigzag[z]];
    c.dc = &tables[2 * t];
    c.ac = &tables[2 * t + 1];
    c.predictor = 0;
  }
  std::vector<std::uint8_t> buffer(capacity);
  auto sink = std::make_unique<jpeg::OutputSink>();
  jpeg::sink_init_plain(*sink, -1, buffer.data(), static_cast<std::int64_t>(capacity));
  constexpr int kMostBlocks = 16;
  EXPECT_LE(per_mcu, kMostBlocks);
  alignas(64) std::int16_t workspace[kMostBlocks * 64];
  const auto n = static_cast<std::size_t>(std::min(per_mcu, kMostBlocks));
  for (std::size_t first = 0; first + n <= samples.size(); first += n) {
    for (std::size_t b = 0; b < n; ++b) {
      std::copy(samples[first + b].begin(), samples[first + b].end(), workspace + 64 * b);
    }
    encode(*sink, workspace, components.get(), count);
  }
  jpeg::sink_write_plain(*sink, nullptr, 0);
  buffer.resize(static_cast<std::size_t>(sink->cur - sink->start));
  std::int32_t predictors = 0;
  for (int i = count - 1; i >= 0; --i) predictors = 7 * predictors + components[i].predictor;
  return {buffer, predictors, sink->error};
}

TEST(VectorKernels, McuKernelWritesThePlainBytesAtEveryQualityAndNearTheBuffersEnd) {
  const std::vector<Block> samples = SampleBlocks();
  for (std::int32_t quality : {1, 50, 75, 95, 100}) {  // 100: every divisor 1, the largest reciprocal
    const Coded expected = EncodeMcus(jpeg::encode_mcu_plain, samples, quality, 1 << 20);
    ASSERT_EQ(expected.error, 0);
    for (const Variant& v : RunnableVariants()) {
      const Coded actual = EncodeMcus(v.encode_mcu, samples, quality, 1 << 20);
      EXPECT_EQ(actual.error, 0) << v.name << " quality " << quality;
      EXPECT_EQ(actual.predictor, expected.predictor) << v.name << " quality " << quality;
      EXPECT_EQ(actual.bytes, expected.bytes) << v.name << " quality " << quality;
    }
    // Short buffers: the coders switch to the checked writer near the end
    // and fail at the same byte.
    for (std::size_t capacity : {expected.bytes.size() / 2, expected.bytes.size() - 1}) {
      const Coded short_expected = EncodeMcus(jpeg::encode_mcu_plain, samples, quality, capacity);
      EXPECT_EQ(short_expected.error, -28);
      for (const Variant& v : RunnableVariants()) {
        const Coded actual = EncodeMcus(v.encode_mcu, samples, quality, capacity);
        EXPECT_EQ(actual.error, short_expected.error) << v.name << " capacity " << capacity;
        EXPECT_EQ(actual.bytes, short_expected.bytes) << v.name << " capacity " << capacity;
      }
    }
  }
}

// MCUs of other block counts than the extraction's six: an odd count leaves
// one block without a neighbour to pair with, and more than ten blocks do
// not fit the coders' staging area.
TEST(VectorKernels, McuKernelWritesThePlainBytesForOddAndLargeBlockCounts) {
  const std::vector<Block> samples = SampleBlocks();
  for (const std::vector<int>& layout :
       {std::vector<int>{1, 1, 1}, std::vector<int>{1}, std::vector<int>{4, 4, 4}, std::vector<int>{2, 1, 1, 2}}) {
    for (std::int32_t quality : {100, 75}) {
      const Coded expected = EncodeMcus(jpeg::encode_mcu_plain, samples, quality, 1 << 20, layout);
      ASSERT_EQ(expected.error, 0);
      ASSERT_FALSE(expected.bytes.empty());
      for (const Variant& v : RunnableVariants()) {
        const Coded actual = EncodeMcus(v.encode_mcu, samples, quality, 1 << 20, layout);
        EXPECT_EQ(actual.error, 0) << v.name << " blocks " << layout.size();
        EXPECT_EQ(actual.predictor, expected.predictor) << v.name << " blocks " << layout.size();
        EXPECT_EQ(actual.bytes, expected.bytes) << v.name << " blocks " << layout.size() << " quality " << quality;
      }
    }
  }
}

// A whole picture through a record whose table holds one set's scan kernels
// (or the class's own when set is null), into memory or, given a path, into
// a file (whose 4096-byte buffer the coders fill and hand on many times).
std::vector<std::uint8_t> EncodeWithSet(const Picture& pic, std::int32_t quality, const Variant* set,
                                        const std::filesystem::path& file = {}) {
  JPEG_PROPERTIES p{};
  EXPECT_EQ(JpegInit(&p), 0);
  if (set != nullptr) {
    p.state.kernels->extract_bgr_ycc_2x2 = set->extract;
    p.state.kernels->encode_mcu = set->encode_mcu;
  }
  FillLikeStillCapture(p, pic, quality);
  std::vector<std::uint8_t> out(pic.bgr.size() + 65536);
  p.jpeg_buffer = out.data();
  p.jpeg_size = static_cast<std::int32_t>(out.size());
  const std::string name = file.string();
  p.jpeg_file_name = name.c_str();
  const std::int32_t rc = JpegWrite(&p, file.empty() ? WholeImageToBuffer : WholeImageToFile);
  EXPECT_EQ(rc, 0);
  if (!file.empty()) {
    out = ReadFileBytes(file);
  } else {
    out.resize(rc == 0 ? static_cast<std::size_t>(p.jpeg_size) : 0);
  }
  JpegFree(&p);
  return out;
}

TEST(VectorKernels, EverySetEncodesWholePicturesToThePlainBytes) {
  const ScopedOverrideFile plain_class("USECPU=0\n");
  const TempDir dir;
  // Sizes with partial MCUs on either edge, a picture narrower than one MCU,
  // and noise, which fills blocks and stuffs many 0xFF bytes.
  const std::vector<Picture> pictures = {NaturalPicture(203, 77, 4),     NaturalPicture(9, 33, 5),
                                         NoisePicture(96, 64, 6),        FlatPicture(40, 40, 255, 255, 255),
                                         FlatPicture(40, 40, 255, 0, 0), FlatPicture(40, 40, 0, 0, 255)};
  for (const Picture& pic : pictures) {
    for (std::int32_t quality : {20, 75, 100}) {
      const std::vector<std::uint8_t> expected = EncodeWithSet(pic, quality, nullptr);
      ASSERT_FALSE(expected.empty());
      for (const Variant& v : RunnableVariants()) {
        EXPECT_EQ(EncodeWithSet(pic, quality, &v), expected)
            << v.name << " " << pic.width << "x" << pic.height << " quality " << quality;
        EXPECT_EQ(EncodeWithSet(pic, quality, &v, dir / "set.jpg"), expected)
            << v.name << " to a file, " << pic.width << "x" << pic.height << " quality " << quality;
      }
    }
  }
}

TEST(VectorKernels, VectorClassesGetTheBestSetAndOthersThePlainOne) {
#ifdef TAVROCAM_JPEG_X86_KERNELS
  const jpeg::VectorSupport support = jpeg::DetectVectorSupport();
#else
  const jpeg::VectorSupport support{};  // built without vector kernels: plain everywhere
#endif
  const char* best = support.avx2 ? "avx2" : support.sse2 ? "sse2" : "plain";
  for (std::int32_t cls = 0; cls <= 6; ++cls) {
    jpeg::KernelTable table{};
    jpeg::FillKernelTable(table, cls);
    const std::string expected = cls >= 3 ? best : "plain";
    const std::string with_512 = cls >= 3 && support.avx512 ? "avx512" : expected;
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(table.fdct[1])), with_512) << cls;
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(table.quantize[1])), expected) << cls;
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(table.extract_bgr_ycc_2x2)), with_512) << cls;
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(table.huffman_block)), with_512) << cls;
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(table.encode_mcu)), with_512) << cls;
    // After AVX code the upper vector state is cleared before returning.
    const std::string end_hook = cls >= 3 && support.avx2 ? "avx2" : "plain";
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(table.end_of_call)), end_hook) << cls;
  }
}

}  // namespace
}  // namespace jpeg_test
