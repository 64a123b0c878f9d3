#include <immintrin.h>

#include "jpeg/bgr_shuffle_masks.h"
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

namespace {

// Two rows at once: the first in the low 128-bit lane, the second in the
// high one, since byte shuffles and multiply-adds stay within lanes. Gives
// the rows' Y values and each channel's pixels as 16-bit lanes.
struct RowPairChannels {
  __m256i left[3];   // pixels 0..7, [b, g, r]
  __m256i right[3];  // pixels 8..15
};

__attribute__((always_inline)) inline RowPairChannels ConvertRowPairLuma(const std::uint8_t* p0, const std::uint8_t* p1,
                                                                         std::int16_t* y0, std::int16_t* y1) {
  __m256i piece[3];
  for (int s = 0; s < 3; ++s) {
    piece[s] =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + 16 * s))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + 16 * s)), 1);
  }
  const __m256i zero = _mm256_setzero_si256();
  RowPairChannels ch;
  for (int c = 0; c < 3; ++c) {
    __m256i bytes = _mm256_setzero_si256();
    for (int s = 0; s < 3; ++s) {
      const __m256i mask =
          _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kBgrShuffleMasks[c][s].data())));
      bytes = _mm256_or_si256(bytes, _mm256_shuffle_epi8(piece[s], mask));
    }
    ch.left[c] = _mm256_unpacklo_epi8(bytes, zero);
    ch.right[c] = _mm256_unpackhi_epi8(bytes, zero);
  }
  // 77 r + 150 g + 29 b - 32640 by multiply-adds; results lie in -128..127,
  // so the saturating pack loses nothing.
  const __m256i rg_weights = _mm256_set1_epi32((150 << 16) | 77);
  const __m256i b_weights = _mm256_set1_epi32(static_cast<int>((0xFFFFu - 32640u + 1u) << 16) | 29);
  const __m256i ones = _mm256_set1_epi16(1);
  const auto luma = [&](const __m256i(&bgr)[3]) {
    const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(bgr[2], bgr[1]), rg_weights),
                                        _mm256_madd_epi16(_mm256_unpacklo_epi16(bgr[0], ones), b_weights));
    const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(bgr[2], bgr[1]), rg_weights),
                                        _mm256_madd_epi16(_mm256_unpackhi_epi16(bgr[0], ones), b_weights));
    return _mm256_packs_epi32(_mm256_srai_epi32(lo, 8), _mm256_srai_epi32(hi, 8));
  };
  const __m256i y_left = luma(ch.left);
  const __m256i y_right = luma(ch.right);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y0), _mm256_castsi256_si128(y_left));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y1), _mm256_extracti128_si256(y_left, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + 64), _mm256_castsi256_si128(y_right));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + 64), _mm256_extracti128_si256(y_right, 1));
  return ch;
}

// Four rows: Y of each, and the two chroma rows they give, both chroma rows
// in one register (the first row pair's sums lined up with the second's
// across the 128-bit lanes). y points at the first row's left eight Y
// values, cb and cr at the first of the two chroma rows.
__attribute__((always_inline)) inline void ConvertRowQuad256(const std::uint8_t* p, std::ptrdiff_t stride,
                                                             std::int16_t* y, std::int16_t* cb, std::int16_t* cr) {
  const RowPairChannels a = ConvertRowPairLuma(p, p + stride, y, y + 8);
  const RowPairChannels b = ConvertRowPairLuma(p + 2 * stride, p + 3 * stride, y + 16, y + 24);
  // Sums over each 2x2 group (at most 1020, so 16 bits hold them): [rows
  // 0, 2] + [rows 1, 3], then neighbouring pixels by a multiply-add; the
  // pack puts each chroma row's left four sums before its right four.
  const __m256i ones = _mm256_set1_epi16(1);
  __m256i sum[3];
  for (int c = 0; c < 3; ++c) {
    const __m256i left = _mm256_add_epi16(_mm256_permute2x128_si256(a.left[c], b.left[c], 0x20),
                                          _mm256_permute2x128_si256(a.left[c], b.left[c], 0x31));
    const __m256i right = _mm256_add_epi16(_mm256_permute2x128_si256(a.right[c], b.right[c], 0x20),
                                           _mm256_permute2x128_si256(a.right[c], b.right[c], 0x31));
    sum[c] = _mm256_packs_epi32(_mm256_madd_epi16(left, ones), _mm256_madd_epi16(right, ones));
  }
  // (w1 s1 + w2 s2 - wg g + 512) >> 10 as multiply-adds of (s1, s2) and (g, 1).
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

// A whole 16x16 MCU four rows at a time; partial ones take the plain path,
// which repeats the last column and row.
void extract_bgr_ycc_2x2_avx2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace) {
  if (columns != 16 || rows != 16) {
    extract_bgr_ycc_2x2_plain(src, stride, columns, rows, workspace);
    return;
  }
  for (int row = 0; row < 16; row += 4) {
    std::int16_t* y = workspace + (row >> 3) * 128 + (row & 7) * 8;
    std::int16_t* chroma = workspace + 4 * 64 + (row >> 1) * 8;
    ConvertRowQuad256(src + row * stride, stride, y, chroma, chroma + 64);
  }
}

}  // namespace jpeg
