// The AVX2 coder's reordering: a block's eight rows go into zigzag order by
// byte shuffles (each zigzag group of eight gathers from three to six rows),
// instead of sixty-three scalar moves. Internal linkage: each file compiles
// its own copy with its own flags.
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>

#include "jpeg/huffman_lanes.h"
#include "jpeg/lane_wrappers.h"
#include "jpeg/tables.h"

namespace jpeg {
namespace {

// For each zigzag group of eight values, the rows it draws from and, per
// row, the byte-shuffle mask that moves that row's values into place.
struct ZigzagShufflePlan {
  std::array<std::uint8_t, 8> sources{};  // rows per group
  std::array<std::uint8_t, 64> row{};     // row of each shuffle, groups in order
  alignas(16) std::array<std::array<std::uint8_t, 16>, 64> mask{};
};

constexpr ZigzagShufflePlan MakeZigzagShufflePlan() {
  ZigzagShufflePlan plan{};
  int shuffle = 0;
  for (int group = 0; group < 8; ++group) {
    for (int r = 0; r < 8; ++r) {
      bool used = false;
      std::array<std::uint8_t, 16> mask{};
      for (int j = 0; j < 8; ++j) {
        const int natural = kZigzag[8 * group + j];
        const bool here = natural / 8 == r;
        used = used || here;
        mask[2 * j] = here ? static_cast<std::uint8_t>(2 * (natural % 8)) : 0x80;
        mask[2 * j + 1] = here ? static_cast<std::uint8_t>(2 * (natural % 8) + 1) : 0x80;
      }
      if (!used) continue;
      plan.row[shuffle] = static_cast<std::uint8_t>(r);
      plan.mask[shuffle] = mask;
      ++plan.sources[group];
      ++shuffle;
    }
  }
  return plan;
}

alignas(16) constexpr ZigzagShufflePlan kZigzagShuffles = MakeZigzagShufflePlan();

// Zigzag group `group` of each 128-bit lane's block, gathered from the
// block's rows by byte shuffles; shuffle counts the plan's shuffles on.
template <typename V>
inline __attribute__((always_inline)) V ZigzagGroup(const V (&rows)[8], int group, int& shuffle) {
  V values;
  Zero(values);
  // A count of its own: GCC 12 drops the unroll below where a template's
  // loop condition reads the plan directly.
  const int sources = kZigzagShuffles.sources[group];
#pragma GCC unroll 8
  for (int i = 0; i < sources; ++i, ++shuffle) {
    V mask;
    Broadcast128(_mm_load_si128(reinterpret_cast<const __m128i*>(kZigzagShuffles.mask[shuffle].data())), mask);
    values = Or(values, ShuffleBytes(rows[kZigzagShuffles.row[shuffle]], mask));
  }
  return values;
}

// rows: the block's rows in natural order; zigzag receives the 64 values.
inline __attribute__((always_inline)) void ZigzagByShuffles(const __m128i (&rows)[8], std::int16_t* zigzag) {
  int shuffle = 0;
#pragma GCC unroll 8
  for (int group = 0; group < 8; ++group) {
    _mm_store_si128(reinterpret_cast<__m128i*>(zigzag + 8 * group), ZigzagGroup(rows, group, shuffle));
  }
}

// Codes a block whose rows are already in registers (quantised or not)
// through any bit writer.
template <typename Writer>
inline __attribute__((always_inline)) void CodeRows(Writer& out, const __m128i (&rows)[8], std::int32_t& dc_predictor,
                                                    const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  alignas(16) std::int16_t zigzag[64];
  ZigzagByShuffles(rows, zigzag);
  const std::uint64_t nonzero = NonzeroMask(zigzag) & ~std::uint64_t{1};  // the DC value is coded apart
  CodeZigzagBits(out, zigzag[0], zigzag, nonzero, dc_predictor, dc, ac);
}

inline __attribute__((always_inline)) void LoadRows(const std::int16_t* block, __m128i (&rows)[8]) {
  for (int i = 0; i < 8; ++i) rows[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
}

// (c r + 16384) >> 15 is the rounding high-half multiply while r fits 16
// signed bits; r = 32768 (divisor 1) reads as -32768 there and keeps c.
inline __attribute__((always_inline)) void QuantizeRows(__m128i (&rows)[8], const std::uint16_t* reciprocals) {
  const __m128i unit = _mm_set1_epi16(-32768);
  for (int i = 0; i < 8; ++i) {
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(reciprocals + 8 * i));
    rows[i] = _mm_blendv_epi8(_mm_mulhrs_epi16(rows[i], r), rows[i], _mm_cmpeq_epi16(r, unit));
  }
}

}  // namespace
}  // namespace jpeg
