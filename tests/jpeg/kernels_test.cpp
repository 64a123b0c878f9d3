// The inner loops on their own: DCT, quantiser, code tables, MCU extraction
// and the kernel table of every processor class.
#include "jpeg/kernels.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "jpeg/tables.h"
#include "reference_encoder.h"

namespace jpeg_test {
namespace {

using jpeg::HuffmanCodeTable;

// T.81 Annex A: F(u,v) = 1/4 C(u) C(v) sum sum f(x,y) cos((2x+1)u pi/16) cos((2y+1)v pi/16).
void FloatDct(const int in[64], double out[64]) {
  const double pi = std::acos(-1.0);
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
          sum += in[y * 8 + x] * std::cos((2 * x + 1) * u * pi / 16) * std::cos((2 * y + 1) * v * pi / 16);
        }
      }
      const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
      const double cv = v == 0 ? std::sqrt(0.5) : 1.0;
      out[v * 8 + u] = 0.25 * cu * cv * sum;
    }
  }
}

std::vector<std::array<int, 64>> TestBlocks() {
  std::vector<std::array<int, 64>> blocks;
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> sample(-128, 127);
  for (int n = 0; n < 200; ++n) {
    std::array<int, 64> b{};
    for (int& v : b) v = sample(rng);
    blocks.push_back(b);
  }
  // The extremes: halves, checkerboards and stripes at full swing.
  for (int pattern = 0; pattern < 6; ++pattern) {
    std::array<int, 64> b{};
    for (int i = 0; i < 64; ++i) {
      const int x = i % 8, y = i / 8;
      bool high = false;
      switch (pattern) {
        case 0: high = y < 4; break;
        case 1: high = x < 4; break;
        case 2: high = (x + y) % 2 == 0; break;
        case 3: high = x % 2 == 0; break;
        case 4: high = (y < 3) || (y == 3 && x < 4); break;
        default: high = ((x ^ y) & 2) != 0; break;
      }
      b[i] = high ? 127 : -128;
    }
    blocks.push_back(b);
  }
  return blocks;
}

// The plain transform of a test block.
std::array<std::int16_t, 64> PlainFdct(const std::array<int, 64>& samples) {
  std::array<std::int16_t, 64> block{};
  for (int i = 0; i < 64; ++i) block[i] = static_cast<std::int16_t>(samples[i]);
  jpeg::fdct_islow_plain(block.data());
  return block;
}

TEST(Fdct, ConstantBlockGivesEightTimesTheLevelAndNoAc) {
  for (int level : {-128, -1, 0, 1, 57, 127}) {
    std::int16_t block[64];
    std::fill(std::begin(block), std::end(block), static_cast<std::int16_t>(level));
    jpeg::fdct_islow_plain(block);
    EXPECT_EQ(block[0], 8 * level);
    for (int i = 1; i < 64; ++i) ASSERT_EQ(block[i], 0) << "level " << level << " at " << i;
  }
}

TEST(Fdct, AgreesWithTheDefiningFormulaWithinRounding) {
  double worst = 0;
  for (const auto& b : TestBlocks()) {
    const std::array<std::int16_t, 64> block = PlainFdct(b);
    double exact[64];
    FloatDct(b.data(), exact);
    for (int i = 0; i < 64; ++i) worst = std::max(worst, std::abs(block[i] - exact[i]));
  }
  EXPECT_LT(worst, 2.0);
}

TEST(Fdct, MatchesTheReferenceArithmeticExactly) {
  for (const auto& b : TestBlocks()) {
    const std::array<std::int16_t, 64> block = PlainFdct(b);
    int expected[64];
    ReferenceFdct(b.data(), expected);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], expected[i]) << i;
  }
}

TEST(Quantize, RoundsHalfUpThroughTheReciprocal) {
  std::uint16_t reciprocals[64];
  std::fill(std::begin(reciprocals), std::end(reciprocals), static_cast<std::uint16_t>(32768 / 8));
  reciprocals[1] = 32768;  // divisor 1
  reciprocals[2] = 128;    // divisor 255
  std::int16_t block[64] = {};
  block[0] = 1016;   // 127.0
  block[1] = -1024;  // unchanged
  block[2] = 383;    // the reciprocal 128 divides by 256: 1.496 -> 1
  block[3] = 12;     // 1.5 -> 2
  block[4] = -12;    // -1.5 -> -1 (half rounds up)
  block[5] = -13;    // -1.625 -> -2
  block[6] = 3;      // 0.375 -> 0
  jpeg::quantize_plain(block, reciprocals);
  EXPECT_EQ(block[0], 127);
  EXPECT_EQ(block[1], -1024);
  EXPECT_EQ(block[2], 1);
  EXPECT_EQ(block[3], 2);
  EXPECT_EQ(block[4], -1);
  EXPECT_EQ(block[5], -2);
  EXPECT_EQ(block[6], 0);
}

TEST(Tables, ZigzagWalksTheAntiDiagonals) {
  std::vector<int> expected;
  for (int s = 0; s < 15; ++s) {
    for (int i = 0; i <= s; ++i) {
      const int row = (s % 2 == 0) ? s - i : i;
      if (row < 8 && s - row < 8) expected.push_back(row * 8 + s - row);
    }
  }
  EXPECT_EQ(std::vector<int>(jpeg::kZigzag.begin(), jpeg::kZigzag.end()), expected);
}

TEST(Tables, DefaultQuantisationTablesArePrintedOnesInZigzagOrder) {
  // First row of the luminance table and first column of the chrominance table.
  const int lum_row[8] = {16, 11, 10, 16, 24, 40, 51, 61};
  const int chroma_col[8] = {17, 18, 24, 47, 99, 99, 99, 99};
  for (int k = 0; k < 64; ++k) {
    const int natural = jpeg::kZigzag[k];
    if (natural < 8) {
      EXPECT_EQ(jpeg::kLuminanceQuant[k], lum_row[natural]);
    }
    if (natural % 8 == 0) {
      EXPECT_EQ(jpeg::kChrominanceQuant[k], chroma_col[natural / 8]);
    }
  }
  EXPECT_EQ(jpeg::kLuminanceQuant[63], 99);
}

TEST(Tables, AcTablesHoldEveryRunSizePairPlusEobAndZrl) {
  std::set<int> expected = {0x00, 0xF0};
  for (int run = 0; run < 16; ++run) {
    for (int size = 1; size <= 10; ++size) expected.insert(run * 16 + size);
  }
  for (const auto* symbols : {&jpeg::kAcLuminanceSymbols, &jpeg::kAcChrominanceSymbols}) {
    EXPECT_EQ(std::set<int>(symbols->begin(), symbols->end()), expected);
  }
  EXPECT_EQ(jpeg::HuffmanSymbolCount(jpeg::kAcLuminanceCounts.data()), 162);
  EXPECT_EQ(jpeg::HuffmanSymbolCount(jpeg::kAcChrominanceCounts.data()), 162);
  EXPECT_EQ(jpeg::HuffmanSymbolCount(jpeg::kDcLuminanceCounts.data()), 12);
  EXPECT_EQ(jpeg::HuffmanSymbolCount(jpeg::kDcChrominanceCounts.data()), 12);
}

std::string CodeOf(const HuffmanCodeTable& t, int symbol) {
  std::string bits;
  for (int i = t.length[symbol] - 1; i >= 0; --i) bits += ((t.code[symbol] >> i) & 1) ? '1' : '0';
  return bits;
}

TEST(Tables, DerivedCodesAreTheTypicalOnes) {
  HuffmanCodeTable dc_lum{}, dc_chroma{}, ac_lum{}, ac_chroma{};
  ASSERT_EQ(jpeg::BuildHuffmanCodeTable(jpeg::kDcLuminanceCounts.data(), jpeg::kDcLuminanceSymbols.data(), dc_lum), 0);
  ASSERT_EQ(
      jpeg::BuildHuffmanCodeTable(jpeg::kDcChrominanceCounts.data(), jpeg::kDcChrominanceSymbols.data(), dc_chroma), 0);
  ASSERT_EQ(jpeg::BuildHuffmanCodeTable(jpeg::kAcLuminanceCounts.data(), jpeg::kAcLuminanceSymbols.data(), ac_lum), 0);
  ASSERT_EQ(
      jpeg::BuildHuffmanCodeTable(jpeg::kAcChrominanceCounts.data(), jpeg::kAcChrominanceSymbols.data(), ac_chroma), 0);
  EXPECT_EQ(CodeOf(dc_lum, 0), "00");
  EXPECT_EQ(CodeOf(dc_lum, 1), "010");
  EXPECT_EQ(CodeOf(dc_lum, 6), "1110");
  EXPECT_EQ(CodeOf(dc_lum, 11), "111111110");
  EXPECT_EQ(CodeOf(dc_chroma, 0), "00");
  EXPECT_EQ(CodeOf(dc_chroma, 3), "110");
  EXPECT_EQ(CodeOf(dc_chroma, 11), "11111111110");
  EXPECT_EQ(CodeOf(ac_lum, 0x00), "1010");
  EXPECT_EQ(CodeOf(ac_lum, 0x01), "00");
  EXPECT_EQ(CodeOf(ac_lum, 0x03), "100");
  EXPECT_EQ(CodeOf(ac_lum, 0x11), "1100");
  EXPECT_EQ(CodeOf(ac_lum, 0x21), "11100");
  EXPECT_EQ(CodeOf(ac_lum, 0x31), "111010");
  EXPECT_EQ(CodeOf(ac_lum, 0xF0), "11111111001");
  EXPECT_EQ(CodeOf(ac_lum, 0xFA), "1111111111111110");
  EXPECT_EQ(CodeOf(ac_chroma, 0x00), "00");
  EXPECT_EQ(CodeOf(ac_chroma, 0x01), "01");
  EXPECT_EQ(CodeOf(ac_chroma, 0x11), "1011");
  EXPECT_EQ(CodeOf(ac_chroma, 0xF0), "1111111010");
  EXPECT_EQ(CodeOf(ac_chroma, 0xFA), "1111111111111110");
}

TEST(Tables, ImpossibleCodeTablesAreRefused) {
  HuffmanCodeTable t{};
  std::uint8_t symbols[256];
  for (int i = 0; i < 256; ++i) symbols[i] = static_cast<std::uint8_t>(i);
  std::uint8_t counts[16] = {3};  // three codes of one bit
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(counts, symbols, t), -6);
  std::uint8_t too_many[16] = {};
  too_many[15] = 255;
  too_many[14] = 2;  // 257 symbols
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(too_many, symbols, t), -6);
  std::uint8_t full[16] = {};
  full[7] = 255;  // 255 eight-bit codes leave room; 256 would need the all-ones code
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(full, symbols, t), 0);
  full[7] = 0;
  full[0] = 1;
  full[1] = 1;
  full[2] = 1;  // 0, 10, 110: fine
  EXPECT_EQ(jpeg::BuildHuffmanCodeTable(full, symbols, t), 0);
  EXPECT_EQ(CodeOf(t, 2), "110");
}

TEST(Extract, WholeMcuUsesGroupSumsAndEdgeMcuAveragesPerPixelChroma) {
  // A 16x16 MCU whose 2x2 groups each hold two colours.
  std::vector<std::uint8_t> rows(16 * 48);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool a = (x + y) % 2 == 0;
      std::uint8_t* p = &rows[static_cast<std::size_t>(y * 48 + x * 3)];
      p[0] = a ? 200 : 10;  // B
      p[1] = a ? 30 : 140;  // G
      p[2] = a ? 90 : 250;  // R
    }
  }
  alignas(32) std::int16_t ws[6 * 64];
  jpeg::extract_bgr_ycc_2x2_plain(rows.data(), 48, 16, 16, ws);
  const int ya = (77 * 90 + 150 * 30 + 29 * 200 - 32640) >> 8;
  const int yb = (77 * 250 + 150 * 140 + 29 * 10 - 32640) >> 8;
  EXPECT_EQ(ws[0], ya);
  EXPECT_EQ(ws[1], yb);
  EXPECT_EQ(ws[64 + 7], yb);    // top-right block, row 0, column 15
  EXPECT_EQ(ws[128 + 8], yb);   // bottom-left block, row 9, column 0
  EXPECT_EQ(ws[192 + 63], ya);  // bottom-right block, row 15, column 15
  const int sb = 2 * 200 + 2 * 10, sg = 2 * 30 + 2 * 140, sr = 2 * 90 + 2 * 250;
  EXPECT_EQ(ws[256], (128 * sb - 43 * sr - 85 * sg + 512) >> 10);
  EXPECT_EQ(ws[320 + 63], (128 * sr - 21 * sb - 107 * sg + 512) >> 10);

  // The same pixels as a 15x15 edge MCU: chroma per pixel, then averaged.
  jpeg::extract_bgr_ycc_2x2_plain(rows.data(), 48, 15, 15, ws);
  const int cba = (128 * 200 - 85 * 30 - 43 * 90 + 128) >> 8;
  const int cbb = (128 * 10 - 85 * 140 - 43 * 250 + 128) >> 8;
  EXPECT_EQ(ws[256], (2 * cba + 2 * cbb + 2) >> 2);
  // The last group repeats column 14 and row 14 (colour a) into 15.
  EXPECT_EQ(ws[256 + 63], (4 * cba + 2) >> 2);
  EXPECT_EQ(ws[192 + 63], ya);
  EXPECT_EQ(ws[192 + 62], ya);  // row 15 column 14 repeats row 14 column 14 = a
  EXPECT_EQ(ws[192 + 55], ya);  // row 14 column 15 repeats row 14 column 14 = a
  EXPECT_EQ(ws[192 + 47], yb);  // row 13 column 15 repeats row 13 column 14 = b
}

TEST(KernelTable, EveryClassHasACompleteEncoderSet) {
  for (std::int32_t cls = 0; cls <= 6; ++cls) {
    jpeg::KernelTable table{};
    jpeg::FillKernelTable(table, cls);
    EXPECT_EQ(table.cpu_type, cls);
    EXPECT_NE(table.end_of_call, nullptr);
    EXPECT_NE(table.fdct[1], nullptr);
    EXPECT_NE(table.quantize[1], nullptr);
    EXPECT_NE(table.sink_init, nullptr);
    EXPECT_NE(table.sink_write, nullptr);
    EXPECT_NE(table.extract_bgr_ycc_2x2, nullptr);
    EXPECT_NE(table.huffman_block, nullptr);
  }
}

}  // namespace
}  // namespace jpeg_test
