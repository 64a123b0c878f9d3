// The AVX2 MCU kernel's transform: two neighbouring blocks per call, one in
// each 128-bit lane, with the row pass in 16-bit lanes (multiply-adds of
// value pairs instead of 32-bit products) and the column pass in 32-bit
// lanes where its values outgrow 16 bits. Internal linkage: only the AVX2
// files include it.
//
// It gives the plain transform's results for level-shifted samples
// (-128..127), which is all the extraction produces: their row pass results
// lie within -8192..8128 and every 16-bit intermediate below stays in range
// for them. Other input takes the general transform (vector_lanes.h).
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "jpeg/vector_lanes.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace jpeg {
namespace {

// Two 16-bit weights as a multiply-add operand: w0 for the first value of
// each pair, w1 for the second.
TAVROCAM_LANES_INLINE __m256i PairWeights(int w0, int w1) {
  return _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(w1) << 16) | (static_cast<unsigned>(w0) & 0xFFFFu)));
}

// a * w0 + b * w1 per 16-bit lane pair, as 32-bit lanes for the low and the
// high four values of each 128-bit lane; packing the two results back keeps
// the values' order.
struct Wide2 {
  __m256i lo;
  __m256i hi;
};
TAVROCAM_LANES_INLINE Wide2 MultiplyAdd(__m256i a, __m256i b, __m256i weights) {
  return {_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), weights),
          _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), weights)};
}
// v * 65536 as 32-bit lanes, in the same order.
TAVROCAM_LANES_INLINE Wide2 Times65536(__m256i v) {
  const __m256i zero = _mm256_setzero_si256();
  return {_mm256_unpacklo_epi16(zero, v), _mm256_unpackhi_epi16(zero, v)};
}
template <int kShift>
TAVROCAM_LANES_INLINE __m256i RoundNarrow(Wide2 v, int round) {
  const __m256i r = _mm256_set1_epi32(round);
  return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(v.lo, r), kShift),
                            _mm256_srai_epi32(_mm256_add_epi32(v.hi, r), kShift));
}
TAVROCAM_LANES_INLINE Wide2 Add(Wide2 a, Wide2 b) {
  return {_mm256_add_epi32(a.lo, b.lo), _mm256_add_epi32(a.hi, b.hi)};
}
TAVROCAM_LANES_INLINE Wide2 Sub(Wide2 a, Wide2 b) {
  return {_mm256_sub_epi32(a.lo, b.lo), _mm256_sub_epi32(a.hi, b.hi)};
}

// The row pass on sixteen lines (lane = line), all in 16 bits but the
// products. 42813 and 46341 do not fit a signed 16-bit weight: e * 42813 is
// e * (42813 - 65536) + e * 65536, d * 46341 is d * 23170 + d * 23171.
TAVROCAM_LANES_INLINE void RowPass16(__m256i (&x)[8]) {
  const __m256i s07 = _mm256_add_epi16(x[0], x[7]), s34 = _mm256_add_epi16(x[3], x[4]);
  const __m256i s16 = _mm256_add_epi16(x[1], x[6]), s25 = _mm256_add_epi16(x[2], x[5]);
  const __m256i e0 = _mm256_sub_epi16(s07, s34), e1 = _mm256_sub_epi16(s16, s25);
  const __m256i d07 = _mm256_sub_epi16(x[0], x[7]), d34 = _mm256_sub_epi16(x[3], x[4]);
  const __m256i sqrt2 = PairWeights(23170, 23171);
  const __m256i t = RoundNarrow<12>(MultiplyAdd(d07, d07, sqrt2), 2048);
  const __m256i u = RoundNarrow<12>(MultiplyAdd(d34, d34, sqrt2), 2048);
  const __m256i v = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_add_epi16(x[1], x[2]), _mm256_add_epi16(x[5], x[6])), 3);
  const __m256i a = _mm256_slli_epi16(_mm256_sub_epi16(_mm256_add_epi16(x[1], x[5]), _mm256_add_epi16(x[2], x[6])), 3);
  const __m256i w = _mm256_add_epi16(v, t), z = _mm256_add_epi16(a, u);
  const __m256i t2 = _mm256_sub_epi16(t, v), u2 = _mm256_sub_epi16(u, a);
  const __m256i p = _mm256_add_epi16(s07, s34), q = _mm256_add_epi16(s16, s25);
  x[0] = _mm256_slli_epi16(_mm256_add_epi16(p, q), 3);
  x[4] = _mm256_slli_epi16(_mm256_sub_epi16(p, q), 3);
  x[2] = RoundNarrow<12>(Add(MultiplyAdd(e0, e1, PairWeights(42813 - 65536, 17734)), Times65536(e0)), 2048);
  x[6] = RoundNarrow<12>(Sub(MultiplyAdd(e0, e1, PairWeights(17734, 65536 - 42813)), Times65536(e1)), 2048);
  x[1] = RoundNarrow<12>(MultiplyAdd(w, z, PairWeights(4017, 799)), 2048);
  x[7] = RoundNarrow<12>(MultiplyAdd(w, z, PairWeights(799, -4017)), 2048);
  x[5] = RoundNarrow<12>(MultiplyAdd(t2, u2, PairWeights(2276, 3406)), 2048);
  x[3] = RoundNarrow<12>(MultiplyAdd(t2, u2, PairWeights(3406, -2276)), 2048);
}

// The column pass on sixteen lines of row pass results. The sums of two and
// four values and the differences still fit 16 bits (the row pass's range is
// -8192..8128); what the odd part multiplies has outgrown them and takes
// 32-bit products.
TAVROCAM_LANES_INLINE void ColumnPass16(__m256i (&x)[8]) {
  const __m256i s07 = _mm256_add_epi16(x[0], x[7]), s34 = _mm256_add_epi16(x[3], x[4]);
  const __m256i s16 = _mm256_add_epi16(x[1], x[6]), s25 = _mm256_add_epi16(x[2], x[5]);
  const __m256i e0 = _mm256_sub_epi16(s07, s34), e1 = _mm256_sub_epi16(s16, s25);
  const __m256i p = _mm256_add_epi16(s07, s34), q = _mm256_add_epi16(s16, s25);
  const __m256i d07 = _mm256_sub_epi16(x[0], x[7]), d34 = _mm256_sub_epi16(x[3], x[4]);
  const __m256i big_v = _mm256_sub_epi16(_mm256_add_epi16(x[1], x[2]), _mm256_add_epi16(x[5], x[6]));
  const __m256i big_a = _mm256_sub_epi16(_mm256_add_epi16(x[1], x[5]), _mm256_add_epi16(x[2], x[6]));
  constexpr int kRound = 1 << 20;
  x[0] = RoundNarrow<6>(MultiplyAdd(p, q, PairWeights(1, 1)), 32);
  x[4] = RoundNarrow<6>(MultiplyAdd(p, q, PairWeights(1, -1)), 32);
  x[2] = RoundNarrow<21>(Add(MultiplyAdd(e0, e1, PairWeights(42813 - 65536, 17734)), Times65536(e0)), kRound);
  x[6] = RoundNarrow<21>(Sub(MultiplyAdd(e0, e1, PairWeights(17734, 65536 - 42813)), Times65536(e1)), kRound);

  const __m256i sqrt2 = PairWeights(23170, 23171);
  const __m256i eight = PairWeights(8, 0);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i round12 = _mm256_set1_epi32(2048);
  const Wide2 t_raw = MultiplyAdd(d07, d07, sqrt2), u_raw = MultiplyAdd(d34, d34, sqrt2);
  const Wide2 v = MultiplyAdd(big_v, zero, eight), a = MultiplyAdd(big_a, zero, eight);
  I32x8 odd[2][4];  // [low/high four values][r1, r7, r5, r3]
  for (int h = 0; h < 2; ++h) {
    const auto pick = [h](const Wide2& w) { return reinterpret_cast<I32x8>(h == 0 ? w.lo : w.hi); };
    const I32x8 t = (pick(t_raw) + reinterpret_cast<I32x8>(round12)) >> 12;
    const I32x8 u = (pick(u_raw) + reinterpret_cast<I32x8>(round12)) >> 12;
    const I32x8 w = pick(v) + t, z = pick(a) + u;
    const I32x8 t2 = t - pick(v), u2 = u - pick(a);
    odd[h][0] = (w * 4017 + z * 799 + kRound) >> 21;
    odd[h][1] = (w * 799 - z * 4017 + kRound) >> 21;
    odd[h][2] = (t2 * 2276 + u2 * 3406 + kRound) >> 21;
    odd[h][3] = (t2 * 3406 - u2 * 2276 + kRound) >> 21;
  }
  const auto pack = [&odd](int i) {
    return _mm256_packs_epi32(reinterpret_cast<__m256i>(odd[0][i]), reinterpret_cast<__m256i>(odd[1][i]));
  };
  x[1] = pack(0);
  x[7] = pack(1);
  x[5] = pack(2);
  x[3] = pack(3);
}

// Transforms the blocks at a and a + 64 in place.
TAVROCAM_LANES_INLINE void FdctSamplePair(std::int16_t* a) {
  std::int16_t* b = a + 64;
  __m256i lines[8];
  for (int i = 0; i < 8; ++i) {
    lines[i] =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * i))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * i)), 1);
  }
  Transpose8x8(lines);  // lines[k]: element k of every row, both blocks
  RowPass16(lines);
  Transpose8x8(lines);  // lines[j]: row j, lane = column
  ColumnPass16(lines);
  for (int i = 0; i < 8; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 8 * i), _mm256_castsi256_si128(lines[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 8 * i), _mm256_extracti128_si256(lines[i], 1));
  }
}

}  // namespace
}  // namespace jpeg

#pragma GCC diagnostic pop
