// 512-bit forms of the transform and of the quantise-and-code step, shared by
// the AVX-512 kernel files (internal linkage: each compiles its own copy).
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "jpeg/huffman_block.h"
#include "jpeg/tables.h"
#include "jpeg/vector_lanes.h"
#include "jpeg/wide_bit_writer.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace jpeg {
namespace {

using I32x16 = std::int32_t __attribute__((vector_size(64)));

// Natural index of each zigzag position, as two-register permute selectors.
struct ZigzagSelectors {
  alignas(64) std::int16_t index[64];
};
constexpr ZigzagSelectors MakeZigzagSelectors() {
  ZigzagSelectors s{};
  for (int k = 0; k < 64; ++k) s.index[k] = static_cast<std::int16_t>(kZigzag[k]);
  return s;
}
alignas(64) constexpr ZigzagSelectors kZigzagSelect = MakeZigzagSelectors();

// The transform of two neighbouring blocks (a and a + 64): sixteen lines per
// 512-bit register, with the same 32-bit arithmetic as the plain kernel.
TAVROCAM_LANES_INLINE void FdctPairLanes(std::int16_t* a) {
  std::int16_t* b = a + 64;
  __m256i lines[8];
  for (int i = 0; i < 8; ++i) {
    lines[i] =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * i))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * i)), 1);
  }
  Transpose8x8(lines);  // both blocks at once
  I32x16 x[8];
  I32x16 out[8];
  for (int i = 0; i < 8; ++i) x[i] = reinterpret_cast<I32x16>(_mm512_cvtepi16_epi32(lines[i]));
  TransformPass<false>(x, out);
  // The narrowing keeps the low halves, as a cast to int16 does.
  for (int i = 0; i < 8; ++i) lines[i] = _mm512_cvtepi32_epi16(reinterpret_cast<__m512i>(out[i]));
  Transpose8x8(lines);
  for (int i = 0; i < 8; ++i) x[i] = reinterpret_cast<I32x16>(_mm512_cvtepi16_epi32(lines[i]));
  TransformPass<true>(x, out);
  for (int i = 0; i < 8; ++i) {
    const __m256i row = _mm512_cvtepi32_epi16(reinterpret_cast<__m512i>(out[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 8 * i), _mm256_castsi256_si128(row));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 8 * i), _mm256_extracti128_si256(row, 1));
  }
}

// The block's 64 values in zigzag order, in two registers.
struct ZigzagBlock {
  __m512i first;
  __m512i second;
};

TAVROCAM_LANES_INLINE ZigzagBlock LoadZigzag(const std::int16_t* block) {
  const __m512i lo = _mm512_loadu_si512(block);
  const __m512i hi = _mm512_loadu_si512(block + 32);
  return {_mm512_permutex2var_epi16(lo, _mm512_load_si512(kZigzagSelect.index), hi),
          _mm512_permutex2var_epi16(lo, _mm512_load_si512(kZigzagSelect.index + 32), hi)};
}

// (c r + 16384) >> 15 is the rounding high-half multiply while r fits 16
// signed bits; r = 32768 (divisor 1) reads as -32768 there and keeps c.
TAVROCAM_LANES_INLINE __m512i Quantize32(__m512i c, __m512i r) {
  const __mmask32 unit = _mm512_cmpeq_epi16_mask(r, _mm512_set1_epi16(-32768));
  return _mm512_mask_mov_epi16(_mm512_mulhrs_epi16(c, r), unit, c);
}

// Codes a block held in zigzag order: every value's magnitude category and
// coded bits are worked out in vector registers up front, so the serial loop
// only looks up codes and packs bits.
// kFromSamples: the block was transformed from samples (AC values below
// 2048), so the wide writer may take two values between flushes.
template <bool kFromSamples = false>
TAVROCAM_LANES_INLINE void CodeZigzagLanes(OutputSink& sink, const ZigzagBlock& zz, std::int32_t& dc_predictor,
                                           const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  std::uint64_t nonzero = (static_cast<std::uint64_t>(_mm512_test_epi16_mask(zz.second, zz.second)) << 32) |
                          _mm512_test_epi16_mask(zz.first, zz.first);
  nonzero &= ~std::uint64_t{1};  // the DC value is coded apart

  // entry[k]: category << 16 | coded bits (value - 1 when negative, low category bits).
  alignas(64) std::uint32_t entry[64];
  const __m512i one = _mm512_set1_epi32(1);
  const __m512i thirty_two = _mm512_set1_epi32(32);
  for (int i = 0; i < 4; ++i) {
    const __m512i& half_source = i < 2 ? zz.first : zz.second;
    const __m256i half = i % 2 == 0 ? _mm512_castsi512_si256(half_source) : _mm512_extracti64x4_epi64(half_source, 1);
    const __m512i v = _mm512_cvtepi16_epi32(half);
    const __m512i sign = _mm512_srai_epi32(v, 31);
    const __m512i size = _mm512_sub_epi32(thirty_two, _mm512_lzcnt_epi32(_mm512_abs_epi32(v)));
    const __m512i mask = _mm512_sub_epi32(_mm512_sllv_epi32(one, size), one);
    const __m512i bits = _mm512_and_si512(_mm512_add_epi32(v, sign), mask);
    _mm512_store_si512(entry + 16 * i, _mm512_or_si512(_mm512_slli_epi32(size, 16), bits));
  }

  const auto dc_value = static_cast<std::int16_t>(_mm_cvtsi128_si32(_mm512_castsi512_si128(zz.first)));
  const auto from_entries = [&entry](int k, int& size, std::uint32_t& bits) __attribute__((always_inline)) {
    size = static_cast<int>(entry[k] >> 16);
    bits = entry[k] & 0xFFFFu;
  };
  if (sink.end - sink.cur >= kWideBlockRoom) {
    WideBitWriter<true> out(sink, sink.cur);
    if constexpr (kFromSamples) {
      CodeSampleBlockBits(out, dc_value, nonzero, from_entries, dc_predictor, dc, ac);
    } else {
      CodeBlockBits(out, dc_value, nonzero, from_entries, dc_predictor, dc, ac);
    }
  } else {
    BitWriter out(sink);
    CodeBlockBits(out, dc_value, nonzero, from_entries, dc_predictor, dc, ac);
  }
}
}  // namespace
}  // namespace jpeg

#pragma GCC diagnostic pop
