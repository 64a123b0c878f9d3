// The AVX-512 quarter turn's block of 16 x 16 pixels, shared by the two
// files built with -mavx512f -mavx512bw -mavx512vbmi (the turn, and its
// streamed form for large frames); each includes it after <immintrin.h>.
//
// A block is turned in four groups of four source pixels (four output
// rows). The loads do the first step of the transpose: each 128-bit lane of
// a register gets four pixels of its own source row, so one register holds
// a 4 x 4 corner. Two rounds of two-register permutes then gather the
// sixteen rows' pixels: the first pairs two corners into half rows of two
// output rows (bytes), the second pairs two half rows into a whole output
// row (quadwords; bytes when widening to 0xFFRRGGBB for painting). Half
// the permutes of a plain 16 x 16 transpose.
#pragma once

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "liveview/frame_rotation_tiles.h"

namespace rotation_kernels {
// Internal linkage: each file compiles its own copy.
namespace {

constexpr int kBlockPixels = 16;
constexpr int kGroupPixels = 4;                  // pixels of a source row per lane
constexpr __mmask64 kRunBytes = 0xFFFFFFFFFFFF;  // the 48 bytes of sixteen pixels

inline __m512i LoadPicks(const std::array<std::uint8_t, 64>& picks) { return _mm512_loadu_si512(picks.data()); }

// First round: corners of source rows 0-3 and 4-7 (or 8-11 and 12-15), both
// of pixel group g, into output rows 2 * pair and 2 * pair + 1 of the group,
// eight source rows each. The last group's lanes start 4 bytes early (its
// loads end at the run's end), `shifted`.
inline __m512i HalfRowPicks(int pair, bool shifted) {
  std::array<std::uint8_t, 64> picks{};
  for (int d = 0; d < 48; ++d) {
    const int outRow = 2 * pair + d / 24;
    const int sourceRow = d % 24 / 3;  // of the eight
    const int fromRegister = sourceRow / 4;
    const int lane = sourceRow % 4;
    picks[static_cast<std::size_t>(d)] =
        static_cast<std::uint8_t>(64 * fromRegister + 16 * lane + 3 * outRow + d % 3 + (shifted ? 4 : 0));
  }
  return LoadPicks(picks);
}

// Second round, widened to 0xFFRRGGBB for painting: output row `outRow % 2`
// of a half-row pair from source rows 0-7 and 8-15 (the alpha byte is set
// after).
inline __m512i WideRowPicks(int outRow) {
  std::array<std::uint8_t, 64> picks{};
  for (int i = 0; i < kBlockPixels; ++i)
    for (int c = 0; c < 4; ++c)
      picks[static_cast<std::size_t>(4 * i + c)] =
          static_cast<std::uint8_t>(64 * (i / 8) + 24 * (outRow % 2) + 3 * (i % 8) + std::min(c, 2));
  return LoadPicks(picks);
}

// Second round, three bytes a pixel: a half row is 24 bytes, three whole
// quadwords, so the two halves of output row `outRow % 2` join in a
// quadword permute. The row starts at quadword `firstQword` and wraps round
// the register's end.
inline __m512i NarrowRowPicks(int outRow, int firstQword = 0) {
  std::array<std::int64_t, 8> picks{};
  for (int k = 0; k < 6; ++k)
    picks[static_cast<std::size_t>((firstQword + k) % 8)] = (k < 3 ? 0 : 8) + 3 * (outRow % 2) + k % 3;
  return _mm512_loadu_si512(picks.data());
}

// Lane l: four pixels of the source row at rows + l * perX, lowest column
// first. Two 128-bit inserts and one 256-bit insert: cheaper here than
// masked broadcasts, which each cost a 512-bit blend.
[[gnu::always_inline]] inline __m512i Corner(const std::uint8_t* rows, std::ptrdiff_t perX, std::ptrdiff_t perX3) {
  const auto lane = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  const __m256i low = _mm256_inserti128_si256(_mm256_castsi128_si256(lane(rows)), lane(rows + perX), 1);
  const __m256i high = _mm256_inserti128_si256(_mm256_castsi128_si256(lane(rows + 2 * perX)), lane(rows + perX3), 1);
  // The masked form with every lane set: GCC 12's plain one passes an
  // undefined register through, which it then warns is read uninitialised.
  const __m512i lower = _mm512_castsi256_si512(low);
  return _mm512_mask_inserti64x4(lower, 0xFF, lower, high, 1);
}

// The four output rows of one pixel group: the corners of the block's four
// source row quarters at `rows`, paired by `halfPicks`, then by `rowPicks`
// (rows 0 and 2, then 1 and 3) in quadwords, or in bytes when `kWide`.
template <bool kWide>
[[gnu::always_inline]] inline void GroupRows(const std::uint8_t* rows, std::ptrdiff_t perX, const __m512i* halfPicks,
                                             const __m512i* rowPicks, __m512i (&row)[kGroupPixels]) {
  const std::ptrdiff_t perX3 = 3 * perX;
  const __m512i c0 = Corner(rows, perX, perX3);
  const __m512i c1 = Corner(rows + 4 * perX, perX, perX3);
  const __m512i c2 = Corner(rows + 8 * perX, perX, perX3);
  const __m512i c3 = Corner(rows + 12 * perX, perX, perX3);
  const __m512i upper01 = _mm512_permutex2var_epi8(c0, halfPicks[0], c1);
  const __m512i upper23 = _mm512_permutex2var_epi8(c0, halfPicks[1], c1);
  const __m512i lower01 = _mm512_permutex2var_epi8(c2, halfPicks[0], c3);
  const __m512i lower23 = _mm512_permutex2var_epi8(c2, halfPicks[1], c3);
  const auto join = [](__m512i upper, __m512i picks, __m512i lower) {
    if constexpr (kWide)
      return _mm512_permutex2var_epi8(upper, picks, lower);
    else
      return _mm512_permutex2var_epi64(upper, picks, lower);
  };
  row[0] = join(upper01, rowPicks[0], lower01);
  row[1] = join(upper01, rowPicks[1], lower01);
  row[2] = join(upper23, rowPicks[0], lower23);
  row[3] = join(upper23, rowPicks[1], lower23);
}

template <int kBytes, bool kClockwise>
struct Block16 {
  static constexpr int kSize = kBlockPixels;
  static constexpr int kLoadBytes = 48;  // the last group's lanes end at the run's end
  static constexpr int kPixelBytes = kBytes;

  Block16()
      : halfRows{HalfRowPicks(0, false), HalfRowPicks(1, false)},
        shiftedHalfRows{HalfRowPicks(0, true), HalfRowPicks(1, true)},
        wholeRows{RowPicks(0), RowPicks(1)} {}

  static __m512i RowPicks(int outRow) { return kBytes == 4 ? WideRowPicks(outRow) : NarrowRowPicks(outRow); }

  template <bool kSpill>
  [[gnu::always_inline]] static void Put(std::uint8_t* line, __m512i row) {
    if constexpr (kBytes == 4) {
      _mm512_storeu_si512(line, _mm512_or_si512(row, _mm512_set1_epi32(static_cast<int>(0xFF000000u))));
    } else if constexpr (kSpill) {
      _mm512_storeu_si512(line, row);  // 16 bytes over the next block's pixels, written after
    } else {
      _mm512_mask_storeu_epi8(line, kRunBytes, row);
    }
  }

  template <bool kSpill>
  [[gnu::always_inline]] void Turn(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to,
                                   std::ptrdiff_t outStep) const {
    // Addresses from these two each block: left to itself the compiler keeps
    // one running pointer per row, more than there are registers.
    asm("" : "+r"(base), "+r"(to));
    // Output row of source pixel p: p turning clockwise, 15 - p the other way.
    const std::ptrdiff_t lineStep = kClockwise ? outStep : -outStep;
    const std::ptrdiff_t lineStep3 = 3 * lineStep;
    std::uint8_t* const firstLine = kClockwise ? to : to + (kBlockPixels - 1) * outStep;
#pragma GCC unroll 4
    for (int g = 0; g < kBlockPixels / kGroupPixels; ++g) {
      const bool last = g == kBlockPixels / kGroupPixels - 1;
      const std::uint8_t* rows = base + 3 * kGroupPixels * g - (last ? 4 : 0);
      __m512i row[kGroupPixels];
      GroupRows<kBytes == 4>(rows, perX, last ? shiftedHalfRows : halfRows, wholeRows, row);
      std::uint8_t* const lines = firstLine + kGroupPixels * g * lineStep;
      Put<kSpill>(lines, row[0]);
      Put<kSpill>(lines + lineStep, row[1]);
      Put<kSpill>(lines + 2 * lineStep, row[2]);
      Put<kSpill>(lines + lineStep3, row[3]);
    }
  }

  // The spill choice once a block, not once a store.
  void operator()(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to, std::ptrdiff_t outStep,
                  bool spill) const {
    if (spill)
      Turn<true>(base, perX, to, outStep);
    else
      Turn<false>(base, perX, to, outStep);
  }

  __m512i halfRows[2], shiftedHalfRows[2], wholeRows[2];
};

}  // namespace
}  // namespace rotation_kernels
