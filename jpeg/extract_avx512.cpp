#include <immintrin.h>

#include "jpeg/bgr_shuffle_masks.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

namespace {

// Four rows of sixteen pixels, one row per 128-bit lane (byte shuffles and
// multiply-adds stay within lanes). y points at the first row's left eight
// Y values (the four rows' are contiguous, the right eight 64 values on);
// cb and cr at the first of the two chroma rows they give.
__attribute__((always_inline)) inline void ConvertRowQuad(const std::uint8_t* p, std::ptrdiff_t stride, std::int16_t* y,
                                                          std::int16_t* cb, std::int16_t* cr) {
  __m512i piece[3];
  for (int s = 0; s < 3; ++s) {
    __m512i v = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * s)));
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride + 16 * s)), 1);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * stride + 16 * s)), 2);
    v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3 * stride + 16 * s)), 3);
    piece[s] = v;
  }
  const __m512i zero = _mm512_setzero_si512();
  __m512i left[3];   // pixels 0..7 as 16-bit lanes, [b, g, r]
  __m512i right[3];  // pixels 8..15
  for (int c = 0; c < 3; ++c) {
    __m512i bytes = _mm512_setzero_si512();
    for (int s = 0; s < 3; ++s) {
      const __m512i mask =
          _mm512_broadcast_i32x4(_mm_load_si128(reinterpret_cast<const __m128i*>(kBgrShuffleMasks[c][s].data())));
      bytes = _mm512_or_si512(bytes, _mm512_shuffle_epi8(piece[s], mask));
    }
    left[c] = _mm512_unpacklo_epi8(bytes, zero);
    right[c] = _mm512_unpackhi_epi8(bytes, zero);
  }

  // 77 r + 150 g + 29 b - 32640 by multiply-adds; results lie in -128..127,
  // so the saturating pack loses nothing.
  const __m512i rg_weights = _mm512_set1_epi32((150 << 16) | 77);
  const __m512i b_weights = _mm512_set1_epi32(static_cast<int>((0xFFFFu - 32640u + 1u) << 16) | 29);
  const __m512i ones = _mm512_set1_epi16(1);
  const auto luma = [&](const __m512i(&bgr)[3]) {
    const __m512i lo = _mm512_add_epi32(_mm512_madd_epi16(_mm512_unpacklo_epi16(bgr[2], bgr[1]), rg_weights),
                                        _mm512_madd_epi16(_mm512_unpacklo_epi16(bgr[0], ones), b_weights));
    const __m512i hi = _mm512_add_epi32(_mm512_madd_epi16(_mm512_unpackhi_epi16(bgr[2], bgr[1]), rg_weights),
                                        _mm512_madd_epi16(_mm512_unpackhi_epi16(bgr[0], ones), b_weights));
    return _mm512_packs_epi32(_mm512_srai_epi32(lo, 8), _mm512_srai_epi32(hi, 8));
  };
  _mm512_storeu_si512(y, luma(left));
  _mm512_storeu_si512(y + 64, luma(right));

  // Sums over each 2x2 group: rows 0+1 and 2+3 lined up by lane shuffles,
  // then neighbouring pixels by a multiply-add. After the pack, lane 0 holds
  // the first chroma row's eight sums in order and lane 1 the second's.
  __m256i sum[3];
  for (int c = 0; c < 3; ++c) {
    const __m512i even_rows = _mm512_shuffle_i64x2(left[c], right[c], _MM_SHUFFLE(2, 0, 2, 0));
    const __m512i odd_rows = _mm512_shuffle_i64x2(left[c], right[c], _MM_SHUFFLE(3, 1, 3, 1));
    const __m512i pairs = _mm512_madd_epi16(_mm512_add_epi16(even_rows, odd_rows), ones);  // L01 L23 R01 R23
    const __m512i swapped = _mm512_shuffle_i64x2(pairs, pairs, _MM_SHUFFLE(1, 0, 3, 2));   // R01 R23 L01 L23
    sum[c] = _mm512_castsi512_si256(_mm512_packs_epi32(pairs, swapped));
  }
  // (w1 s1 + w2 s2 - wg g + 512) >> 10 as multiply-adds of (s1, s2) and (g, 1).
  const __m256i ones256 = _mm256_set1_epi16(1);
  const auto chroma = [&](__m256i s1, __m256i s2, int w1, int w2, int wg) {
    const __m256i pair_weights =
        _mm256_set1_epi32(static_cast<int>((static_cast<unsigned>(w2) & 0xFFFFu) << 16) | (w1 & 0xFFFF));
    const __m256i green_weights = _mm256_set1_epi32((512 << 16) | (wg & 0xFFFF));
    const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(s1, s2), pair_weights),
                                        _mm256_madd_epi16(_mm256_unpacklo_epi16(sum[1], ones256), green_weights));
    const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(s1, s2), pair_weights),
                                        _mm256_madd_epi16(_mm256_unpackhi_epi16(sum[1], ones256), green_weights));
    return _mm256_packs_epi32(_mm256_srai_epi32(lo, 10), _mm256_srai_epi32(hi, 10));
  };
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(cb), chroma(sum[0], sum[2], 128, -43, -85));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(cr), chroma(sum[2], sum[0], 128, -21, -107));
}

}  // namespace

// A whole 16x16 MCU four rows at a time; partial ones take the plain path,
// which repeats the last column and row.
void extract_bgr_ycc_2x2_avx512(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                                std::int16_t* workspace) {
  if (columns != 16 || rows != 16) {
    extract_bgr_ycc_2x2_plain(src, stride, columns, rows, workspace);
    return;
  }
  for (int row = 0; row < 16; row += 4) {
    std::int16_t* y = workspace + (row >> 3) * 128 + (row & 7) * 8;
    std::int16_t* chroma = workspace + 4 * 64 + (row >> 1) * 8;
    ConvertRowQuad(src + row * stride, stride, y, chroma, chroma + 64);
  }
}

}  // namespace jpeg
