#include <immintrin.h>

#include "jpeg/bgr_shuffle_masks.h"
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

namespace {

// Both rows at once: the first row in the low 128-bit lane, the second in
// the high one, since byte shuffles and multiply-adds stay within lanes.
__attribute__((always_inline)) inline void ConvertRowPair256(const std::uint8_t* p0, const std::uint8_t* p1,
                                                             std::int16_t* y0, std::int16_t* y1, std::int16_t* cb,
                                                             std::int16_t* cr) {
  __m256i piece[3];
  for (int s = 0; s < 3; ++s) {
    piece[s] =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + 16 * s))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + 16 * s)), 1);
  }
  const __m256i zero = _mm256_setzero_si256();
  __m256i left[3];   // pixels 0..7 as 16-bit lanes, [b, g, r]
  __m256i right[3];  // pixels 8..15
  for (int c = 0; c < 3; ++c) {
    __m256i bytes = _mm256_setzero_si256();
    for (int s = 0; s < 3; ++s) {
      const __m256i mask =
          _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kBgrShuffleMasks[c][s].data())));
      bytes = _mm256_or_si256(bytes, _mm256_shuffle_epi8(piece[s], mask));
    }
    left[c] = _mm256_unpacklo_epi8(bytes, zero);
    right[c] = _mm256_unpackhi_epi8(bytes, zero);
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
  const __m256i y_left = luma(left);
  const __m256i y_right = luma(right);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y0), _mm256_castsi256_si128(y_left));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y1), _mm256_extracti128_si256(y_left, 1));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + 64), _mm256_castsi256_si128(y_right));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + 64), _mm256_extracti128_si256(y_right, 1));

  __m128i half0[2][3];
  __m128i half1[2][3];
  for (int c = 0; c < 3; ++c) {
    half0[0][c] = _mm256_castsi256_si128(left[c]);
    half1[0][c] = _mm256_extracti128_si256(left[c], 1);
    half0[1][c] = _mm256_castsi256_si128(right[c]);
    half1[1][c] = _mm256_extracti128_si256(right[c], 1);
  }
  ChromaFromHalves(half0, half1, cb, cr);
}

}  // namespace

void extract_bgr_ycc_2x2_avx2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace) {
  ExtractLanes(src, stride, columns, rows, workspace, ConvertRowPair256);
}

}  // namespace jpeg
