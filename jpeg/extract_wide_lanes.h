// The steps the AVX2 and AVX-512 extraction kernels share, one body for
// 256-bit and 512-bit registers (one row of sixteen pixels per 128-bit lane,
// since byte shuffles and multiply-adds stay within lanes): the channels'
// split by byte shuffles, Y by multiply-adds, and the chroma of two chroma
// rows. Internal linkage: each file compiles its own copy with its own flags.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "jpeg/bgr_shuffle_masks.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {
namespace {

// Each 128-bit lane's pixels as 16-bit lanes, one register per channel.
template <typename V>
struct ChannelLanes {
  V left[3];   // pixels 0..7, [b, g, r]
  V right[3];  // pixels 8..15
};

// piece[s]: bytes 16 s .. 16 s + 15 of each lane's row.
template <typename V>
TAVROCAM_LANES_INLINE ChannelLanes<V> SplitChannels(const V (&piece)[3]) {
  V zero;
  Zero(zero);
  ChannelLanes<V> ch;
  for (int c = 0; c < 3; ++c) {
    V bytes;
    Zero(bytes);
    for (int s = 0; s < 3; ++s) {
      V mask;
      Broadcast128(_mm_load_si128(reinterpret_cast<const __m128i*>(kBgrShuffleMasks[c][s].data())), mask);
      bytes = Or(bytes, ShuffleBytes(piece[s], mask));
    }
    ch.left[c] = UnpackLo8(bytes, zero);
    ch.right[c] = UnpackHi8(bytes, zero);
  }
  return ch;
}

// 77 r + 150 g + 29 b - 32640 by multiply-adds; results lie in -128..127,
// so the saturating pack loses nothing.
template <typename V>
TAVROCAM_LANES_INLINE V Luma(const V (&bgr)[3]) {
  V rg_weights;
  Splat32((150 << 16) | 77, rg_weights);
  V b_weights;
  Splat32(static_cast<int>((0xFFFFu - 32640u + 1u) << 16) | 29, b_weights);
  V ones;
  Splat16(1, ones);
  const V lo = Add32(Madd(UnpackLo16(bgr[2], bgr[1]), rg_weights), Madd(UnpackLo16(bgr[0], ones), b_weights));
  const V hi = Add32(Madd(UnpackHi16(bgr[2], bgr[1]), rg_weights), Madd(UnpackHi16(bgr[0], ones), b_weights));
  return Pack32(Shift32<8>(lo), Shift32<8>(hi));
}

// Two chroma rows from the sums over their 2x2 groups (sum[c] per channel,
// the first row in the low 128-bit lane): (w1 s1 + w2 s2 - wg g + 512) >> 10
// as multiply-adds of (s1, s2) and (g, 1).
TAVROCAM_LANES_INLINE void StoreChromaRows(const __m256i (&sum)[3], std::int16_t* cb, std::int16_t* cr) {
  const __m256i ones = _mm256_set1_epi16(1);
  const auto chroma = [&](__m256i s1, __m256i s2, int w1, int w2, int wg) {
    const __m256i pair_weights =
        _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(w2) & 0xFFFFu) << 16) | (w1 & 0xFFFF));
    const __m256i green_weights = _mm256_set1_epi32((512 << 16) | (wg & 0xFFFF));
    const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(s1, s2), pair_weights),
                                        _mm256_madd_epi16(_mm256_unpacklo_epi16(sum[1], ones), green_weights));
    const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(s1, s2), pair_weights),
                                        _mm256_madd_epi16(_mm256_unpackhi_epi16(sum[1], ones), green_weights));
    return _mm256_packs_epi32(_mm256_srai_epi32(lo, 10), _mm256_srai_epi32(hi, 10));
  };
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(cb), chroma(sum[0], sum[2], 128, -43, -85));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(cr), chroma(sum[2], sum[0], 128, -21, -107));
}

}  // namespace
}  // namespace jpeg
