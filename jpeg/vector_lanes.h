// Lane-wise arithmetic shared by the SSE2, AVX2 and AVX-512 kernel files.
// Everything here has internal linkage on purpose: each file compiles its own
// copy with its own instruction-set flags, so the linker never mixes them.
#pragma once

#include <cstdint>
#include <cstring>

#include "jpeg/kernels.h"
#include "jpeg/lane_wrappers.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace jpeg {
namespace {

using I32x8 = std::int32_t __attribute__((vector_size(32)));
using I16x8 = std::int16_t __attribute__((vector_size(16)));
using U16x8 = std::uint16_t __attribute__((vector_size(16)));

TAVROCAM_LANES_INLINE I16x8 Load16(const std::int16_t* p) {
  I16x8 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

TAVROCAM_LANES_INLINE void Store16(std::int16_t* p, I16x8 v) { std::memcpy(p, &v, sizeof v); }

// With AVX2 and AVX-512 the conversions are spelled out: the compiler's
// generic forms take three to four instructions where one or two do.
TAVROCAM_LANES_INLINE I32x8 Widen(I16x8 v) {
#ifdef __AVX2__
  return reinterpret_cast<I32x8>(_mm256_cvtepi16_epi32(reinterpret_cast<__m128i>(v)));
#else
  return __builtin_convertvector(v, I32x8);
#endif
}

// Keeps the low 16 bits of each lane, as a cast to int16 does.
TAVROCAM_LANES_INLINE I16x8 Narrow(I32x8 v) {
#if defined(__AVX512VL__)
  return reinterpret_cast<I16x8>(_mm256_cvtepi32_epi16(reinterpret_cast<__m256i>(v)));
#elif defined(__AVX2__)
  // The low halves gathered in each 128-bit lane, then the lanes' first
  // eight bytes side by side.
  const __m256i low_halves = _mm256_shuffle_epi8(
      reinterpret_cast<__m256i>(v), _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 4,
                                                     5, 8, 9, 12, 13, -1, -1, -1, -1, -1, -1, -1, -1));
  return reinterpret_cast<I16x8>(_mm256_castsi256_si128(_mm256_permute4x64_epi64(low_halves, 0x08)));
#else
  return __builtin_convertvector(v, I16x8);
#endif
}

// r[i] row i in, r[i] column i out; with 256-bit registers, two 8x8 blocks
// at once, one in each 128-bit lane.
template <typename V>
TAVROCAM_LANES_INLINE void Transpose8x8(V (&r)[8]) {
  const V a0 = UnpackLo16(r[0], r[1]), a1 = UnpackHi16(r[0], r[1]);
  const V a2 = UnpackLo16(r[2], r[3]), a3 = UnpackHi16(r[2], r[3]);
  const V a4 = UnpackLo16(r[4], r[5]), a5 = UnpackHi16(r[4], r[5]);
  const V a6 = UnpackLo16(r[6], r[7]), a7 = UnpackHi16(r[6], r[7]);
  const V b0 = UnpackLo32(a0, a2), b1 = UnpackHi32(a0, a2);
  const V b2 = UnpackLo32(a1, a3), b3 = UnpackHi32(a1, a3);
  const V b4 = UnpackLo32(a4, a6), b5 = UnpackHi32(a4, a6);
  const V b6 = UnpackLo32(a5, a7), b7 = UnpackHi32(a5, a7);
  r[0] = UnpackLo64(b0, b4);
  r[1] = UnpackHi64(b0, b4);
  r[2] = UnpackLo64(b1, b5);
  r[3] = UnpackHi64(b1, b5);
  r[4] = UnpackLo64(b2, b6);
  r[5] = UnpackHi64(b2, b6);
  r[6] = UnpackLo64(b3, b7);
  r[7] = UnpackHi64(b3, b7);
}

// One pass of the integer transform over eight lines at once (lane = line).
// The first pass keeps three extra bits; the second removes them.
// Wide holds 32-bit lanes; the results still need narrowing to 16 bits
// (their low halves, as a cast to int16 keeps), which each caller does in
// the way its instruction set does best.
template <bool kSecondPass, typename Wide>
TAVROCAM_LANES_INLINE void TransformPass(const Wide (&x)[8], Wide (&out)[8]) {
  const Wide s07 = x[0] + x[7], s34 = x[3] + x[4], s16 = x[1] + x[6], s25 = x[2] + x[5];
  const Wide e0 = s07 - s34, e1 = s16 - s25;
  const Wide t = ((x[0] - x[7]) * 46341 + 2048) >> 12;
  const Wide u = ((x[3] - x[4]) * 46341 + 2048) >> 12;
  const Wide v = (x[1] + x[2] - x[5] - x[6]) * 8;
  const Wide a = (x[1] + x[5] - x[2] - x[6]) * 8;
  const Wide w = v + t, z = a + u;
  const Wide t2 = t - v, u2 = u - a;
  const Wide even0 = s07 + s34 + s16 + s25, even4 = s07 + s34 - s16 - s25;
  const Wide r2 = e0 * 42813 + e1 * 17734, r6 = e0 * 17734 - e1 * 42813;
  const Wide r1 = w * 4017 + z * 799, r7 = w * 799 - z * 4017;
  const Wide r5 = t2 * 2276 + u2 * 3406, r3 = t2 * 3406 - u2 * 2276;
  if constexpr (kSecondPass) {
    constexpr std::int32_t kRound = 1 << 20;
    out[0] = (even0 + 32) >> 6;
    out[4] = (even4 + 32) >> 6;
    out[2] = (r2 + kRound) >> 21;
    out[6] = (r6 + kRound) >> 21;
    out[1] = (r1 + kRound) >> 21;
    out[7] = (r7 + kRound) >> 21;
    out[5] = (r5 + kRound) >> 21;
    out[3] = (r3 + kRound) >> 21;
  } else {
    out[0] = even0 * 8;
    out[4] = even4 * 8;
    out[2] = (r2 + 2048) >> 12;
    out[6] = (r6 + 2048) >> 12;
    out[1] = (r1 + 2048) >> 12;
    out[7] = (r7 + 2048) >> 12;
    out[5] = (r5 + 2048) >> 12;
    out[3] = (r3 + 2048) >> 12;
  }
}

TAVROCAM_LANES_INLINE void FdctLanes(std::int16_t* block) {
  __m128i lines[8];
  for (int i = 0; i < 8; ++i) lines[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
  Transpose8x8(lines);  // lines[k]: element k of every row
  I32x8 x[8];
  I32x8 out[8];
  for (int i = 0; i < 8; ++i) x[i] = Widen(reinterpret_cast<I16x8>(lines[i]));
  TransformPass<false>(x, out);  // out[k]: coefficient k of every row
  for (int i = 0; i < 8; ++i) lines[i] = reinterpret_cast<__m128i>(Narrow(out[i]));
  Transpose8x8(lines);  // lines[j]: row j, lane = column
  for (int i = 0; i < 8; ++i) x[i] = Widen(reinterpret_cast<I16x8>(lines[i]));
  TransformPass<true>(x, out);  // out[j]: result row j
  for (int i = 0; i < 8; ++i) Store16(block + 8 * i, Narrow(out[i]));
}

// (c r + 16384) >> 15 from the product's halves, 16 bits of every lane kept
// as the cast to int16 keeps them: twice the high half plus the carry of the
// low half's rounding, which is its top bit plus the bit below. Exact while
// r fits 16 signed bits; r = 32768 (divisor 1) reads as -32768 and keeps c.
TAVROCAM_LANES_INLINE __m128i QuantizeRow(__m128i c, __m128i r) {
  const __m128i high = _mm_mulhi_epi16(c, r);
  const __m128i low = _mm_mullo_epi16(c, r);
  const __m128i carry =
      _mm_add_epi16(_mm_srli_epi16(low, 15), _mm_and_si128(_mm_srli_epi16(low, 14), _mm_set1_epi16(1)));
  const __m128i q = _mm_add_epi16(_mm_add_epi16(high, high), carry);
  const __m128i unit = _mm_cmpeq_epi16(r, _mm_set1_epi16(-32768));
  return _mm_or_si128(_mm_and_si128(unit, c), _mm_andnot_si128(unit, q));
}

TAVROCAM_LANES_INLINE void QuantizeLanes(std::int16_t* block, const std::uint16_t* reciprocals) {
  for (int i = 0; i < 64; i += 8) {
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(reciprocals + i));
    __m128i* p = reinterpret_cast<__m128i*>(block + i);
    _mm_storeu_si128(p, QuantizeRow(_mm_loadu_si128(p), r));
  }
}

// A whole 16x16 MCU, kRowsPerStep rows at a time; partial ones take the
// plain path, which repeats the last column and row.
// convert_rows(p, stride, y, cb, cr) converts the rows from p on: their Y
// values to y, y + 8, ... (the right eight 64 values on), the chroma rows
// they give to cb and cr (and on, eight values a row).
template <int kRowsPerStep, typename ConvertRows>
TAVROCAM_LANES_INLINE void ExtractLanes(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                                        std::int16_t* ws, ConvertRows convert_rows) {
  if (columns != 16 || rows != 16) {
    extract_bgr_ycc_2x2_plain(src, stride, columns, rows, ws);
    return;
  }
  for (int row = 0; row < 16; row += kRowsPerStep) {
    std::int16_t* y = ws + (row >> 3) * 128 + (row & 7) * 8;
    std::int16_t* chroma = ws + 4 * 64 + (row >> 1) * 8;
    convert_rows(src + row * stride, stride, y, chroma, chroma + 64);
  }
}

}  // namespace
}  // namespace jpeg

#pragma GCC diagnostic pop
