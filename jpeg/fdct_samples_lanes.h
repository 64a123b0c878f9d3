// The MCU kernels' transform of level-shifted samples: the row pass in
// 16-bit lanes (multiply-adds of value pairs instead of 32-bit products),
// the column pass in 16-bit lanes too for its sums and even part, with its
// odd part's products split into 16-bit multiply-adds as well. One body for
// every set: V is __m128i (one block a call), built for AVX2 also __m256i
// (two neighbouring blocks, one in each 128-bit lane), built for AVX-512
// also __m512i (four). Internal linkage: each file compiles its own copy.
// The lane wrappers of every width come from lane_wrappers.h, through
// vector_lanes.h.
//
// It gives the plain transform's results for what the extraction produces:
// luma samples in -128..127, chroma in -127..128 (128 for pure red or blue).
// Their row pass results lie within -8192..8192 and every 16-bit
// intermediate below stays in range for a block of either kind. Other input
// takes the general transform (vector_lanes.h).
#pragma once

#include <cstdint>

#include "jpeg/vector_lanes.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace jpeg {
namespace {

// Two 16-bit weights as a multiply-add operand: w0 for the first value of
// each pair, w1 for the second.
template <typename V>
TAVROCAM_LANES_INLINE V PairWeights(int w0, int w1) {
  V out;
  Splat32(static_cast<int>((static_cast<unsigned>(w1) << 16) | (static_cast<unsigned>(w0) & 0xFFFFu)), out);
  return out;
}

// 32-bit lanes for the low and the high four values of each 128-bit lane;
// packing the two back keeps the values' order.
template <typename V>
struct Wide2 {
  V lo;
  V hi;
};
// a * w0 + b * w1 for each pair of values.
template <typename V>
TAVROCAM_LANES_INLINE Wide2<V> MultiplyAdd(V a, V b, V weights) {
  return {Madd(UnpackLo16(a, b), weights), Madd(UnpackHi16(a, b), weights)};
}
// v * 65536.
template <typename V>
TAVROCAM_LANES_INLINE Wide2<V> Times65536(V v) {
  V zero;
  Zero(zero);
  return {UnpackLo16(zero, v), UnpackHi16(zero, v)};
}
template <typename V>
TAVROCAM_LANES_INLINE Wide2<V> Add(Wide2<V> a, Wide2<V> b) {
  return {Add32(a.lo, b.lo), Add32(a.hi, b.hi)};
}
template <typename V>
TAVROCAM_LANES_INLINE Wide2<V> Sub(Wide2<V> a, Wide2<V> b) {
  return {Sub32(a.lo, b.lo), Sub32(a.hi, b.hi)};
}
template <int kShift, typename V>
TAVROCAM_LANES_INLINE V RoundNarrow(Wide2<V> v, int round) {
  V r;
  Splat32(round, r);
  return Pack32(Shift32<kShift>(Add32(v.lo, r)), Shift32<kShift>(Add32(v.hi, r)));
}

// The row pass (lane = line), all in 16 bits but the products. 42813 and
// 46341 do not fit a signed 16-bit weight: e * 42813 is
// e * (42813 - 65536) + e * 65536, d * 46341 is d * 23170 + d * 23171.
template <typename V>
TAVROCAM_LANES_INLINE void RowPass16(V (&x)[8]) {
  const V s07 = Add16(x[0], x[7]), s34 = Add16(x[3], x[4]);
  const V s16 = Add16(x[1], x[6]), s25 = Add16(x[2], x[5]);
  const V e0 = Sub16(s07, s34), e1 = Sub16(s16, s25);
  const V d07 = Sub16(x[0], x[7]), d34 = Sub16(x[3], x[4]);
  const V sqrt2 = PairWeights<V>(23170, 23171);
  const V t = RoundNarrow<12>(MultiplyAdd(d07, d07, sqrt2), 2048);
  const V u = RoundNarrow<12>(MultiplyAdd(d34, d34, sqrt2), 2048);
  const V v = Times8(Sub16(Add16(x[1], x[2]), Add16(x[5], x[6])));
  const V a = Times8(Sub16(Add16(x[1], x[5]), Add16(x[2], x[6])));
  const V w = Add16(v, t), z = Add16(a, u);
  const V t2 = Sub16(t, v), u2 = Sub16(u, a);
  const V p = Add16(s07, s34), q = Add16(s16, s25);
  x[0] = Times8(Add16(p, q));
  x[4] = Times8(Sub16(p, q));
  x[2] = RoundNarrow<12>(Add(MultiplyAdd(e0, e1, PairWeights<V>(42813 - 65536, 17734)), Times65536(e0)), 2048);
  x[6] = RoundNarrow<12>(Sub(MultiplyAdd(e0, e1, PairWeights<V>(17734, 65536 - 42813)), Times65536(e1)), 2048);
  x[1] = RoundNarrow<12>(MultiplyAdd(w, z, PairWeights<V>(4017, 799)), 2048);
  x[7] = RoundNarrow<12>(MultiplyAdd(w, z, PairWeights<V>(799, -4017)), 2048);
  x[5] = RoundNarrow<12>(MultiplyAdd(t2, u2, PairWeights<V>(2276, 3406)), 2048);
  x[3] = RoundNarrow<12>(MultiplyAdd(t2, u2, PairWeights<V>(3406, -2276)), 2048);
}

// Two 32-bit lanes' worth of 16-bit values as multiply-add pairs: the low
// 16 bits of a first, of b second.
template <typename V>
TAVROCAM_LANES_INLINE V Pair16(V a, V b) {
  V low;
  Splat32(0xFFFF, low);
  return Or(And(a, low), ShiftLeft32<16>(b));
}

// The column pass on row pass results. The sums of two values and the
// differences still fit 16 bits (the row pass's range is -8192..8192).
// The odd part's t and u do not (up to about 184600): each is split as
// 8 * (t >> 3) + (t & 7), both parts 16-bit, so that with v = 8 V and
// a = 8 A every product is a multiply-add with 16-bit weights, e.g.
// w * 4017 + z * 799 = V * 32136 + A * 6392 + (t >> 3) * 32136 + (t & 7) * 4017
// + (u >> 3) * 6392 + (u & 7) * 799.
template <typename V>
TAVROCAM_LANES_INLINE void ColumnPass16(V (&x)[8]) {
  const V s07 = Add16(x[0], x[7]), s34 = Add16(x[3], x[4]);
  const V s16 = Add16(x[1], x[6]), s25 = Add16(x[2], x[5]);
  const V e0 = Sub16(s07, s34), e1 = Sub16(s16, s25);
  const V d07 = Sub16(x[0], x[7]), d34 = Sub16(x[3], x[4]);
  const V big_v = Sub16(Add16(x[1], x[2]), Add16(x[5], x[6]));
  const V big_a = Sub16(Add16(x[1], x[5]), Add16(x[2], x[6]));
  constexpr int kRound = 1 << 20;
  // The sums of four reach 32768 where a block's chroma is 128 throughout
  // (pure red or blue): they are formed in 32 bits.
  const V ones = PairWeights<V>(1, 1);
  const Wide2<V> p = MultiplyAdd(s07, s34, ones), q = MultiplyAdd(s16, s25, ones);
  x[0] = RoundNarrow<6>(Add(p, q), 32);
  x[4] = RoundNarrow<6>(Sub(p, q), 32);
  x[2] = RoundNarrow<21>(Add(MultiplyAdd(e0, e1, PairWeights<V>(42813 - 65536, 17734)), Times65536(e0)), kRound);
  x[6] = RoundNarrow<21>(Sub(MultiplyAdd(e0, e1, PairWeights<V>(17734, 65536 - 42813)), Times65536(e1)), kRound);

  const V sqrt2 = PairWeights<V>(23170, 23171);
  V round12;
  Splat32(2048, round12);
  V seven;
  Splat32(7, seven);
  const Wide2<V> t_raw = MultiplyAdd(d07, d07, sqrt2), u_raw = MultiplyAdd(d34, d34, sqrt2);
  const Wide2<V> va{UnpackLo16(big_v, big_a), UnpackHi16(big_v, big_a)};
  struct Odd {
    V r1, r7, r5, r3;
  };
  const auto odd_half = [&](const V& t_sum, const V& u_sum, const V& va_pairs) {
    const V t = Shift32<12>(Add32(t_sum, round12));
    const V u = Shift32<12>(Add32(u_sum, round12));
    const V t_parts = Pair16(Shift32<3>(t), And(t, seven));
    const V u_parts = Pair16(Shift32<3>(u), And(u, seven));
    const auto odd_sum = [&](int wv, int wa, int wt, int wu) {
      return Add32(Add32(Madd(va_pairs, PairWeights<V>(8 * wv, 8 * wa)), Madd(t_parts, PairWeights<V>(8 * wt, wt))),
                   Madd(u_parts, PairWeights<V>(8 * wu, wu)));
    };
    // w = v + t, z = a + u, t2 = t - v, u2 = u - a.
    return Odd{odd_sum(4017, 799, 4017, 799),       // w * 4017 + z * 799
               odd_sum(799, -4017, 799, -4017),     // w * 799 - z * 4017
               odd_sum(-2276, -3406, 2276, 3406),   // t2 * 2276 + u2 * 3406
               odd_sum(-3406, 2276, 3406, -2276)};  // t2 * 3406 - u2 * 2276
  };
  const Odd lo = odd_half(t_raw.lo, u_raw.lo, va.lo);
  const Odd hi = odd_half(t_raw.hi, u_raw.hi, va.hi);
  x[1] = RoundNarrow<21>(Wide2<V>{lo.r1, hi.r1}, kRound);
  x[7] = RoundNarrow<21>(Wide2<V>{lo.r7, hi.r7}, kRound);
  x[5] = RoundNarrow<21>(Wide2<V>{lo.r5, hi.r5}, kRound);
  x[3] = RoundNarrow<21>(Wide2<V>{lo.r3, hi.r3}, kRound);
}

// Transforms one block in place.
TAVROCAM_LANES_INLINE void FdctSamples(std::int16_t* block) {
  __m128i lines[8];
  for (int i = 0; i < 8; ++i) lines[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
  Transpose8x8(lines);  // lines[k]: element k of every row
  RowPass16(lines);
  Transpose8x8(lines);  // lines[j]: row j, lane = column
  ColumnPass16(lines);
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), lines[i]);
}

#ifdef __AVX2__
// The blocks at a and a + 64 transformed into lines[j]: row j of the first
// block in the low 128-bit lane, of the second in the high one.
TAVROCAM_LANES_INLINE void FdctSamplePairLines(const std::int16_t* a, __m256i (&lines)[8]) {
  const std::int16_t* b = a + 64;
  for (int i = 0; i < 8; ++i) {
    lines[i] =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * i))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * i)), 1);
  }
  Transpose8x8(lines);  // both blocks at once
  RowPass16(lines);
  Transpose8x8(lines);
  ColumnPass16(lines);
}

// Transforms the blocks at a and a + 64 in place.
TAVROCAM_LANES_INLINE void FdctSamplePair(std::int16_t* a) {
  __m256i lines[8];
  FdctSamplePairLines(a, lines);
  for (int i = 0; i < 8; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 8 * i), _mm256_castsi256_si128(lines[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 64 + 8 * i), _mm256_extracti128_si256(lines[i], 1));
  }
}
#endif

#ifdef __AVX512BW__
// Transforms the four blocks at a, a + 64, a + 128 and a + 192 in place,
// one in each 128-bit lane.
TAVROCAM_LANES_INLINE void FdctSampleQuad(std::int16_t* a) {
  __m512i lines[8];
  for (int i = 0; i < 8; ++i) {
    __m512i v = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * i)));
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 64 + 8 * i)), 1);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 128 + 8 * i)), 2);
    lines[i] = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 192 + 8 * i)), 3);
  }
  Transpose8x8(lines);
  RowPass16(lines);
  Transpose8x8(lines);
  ColumnPass16(lines);
  for (int i = 0; i < 8; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 8 * i), _mm512_castsi512_si128(lines[i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 64 + 8 * i), _mm512_extracti32x4_epi32(lines[i], 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 128 + 8 * i), _mm512_extracti32x4_epi32(lines[i], 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 192 + 8 * i), _mm512_extracti32x4_epi32(lines[i], 3));
  }
}
#endif

}  // namespace
}  // namespace jpeg

#pragma GCC diagnostic pop
