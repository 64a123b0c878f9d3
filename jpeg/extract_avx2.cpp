#include <immintrin.h>

#include "jpeg/extract_wide_lanes.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

namespace {

// Two rows at once, the first in the low 128-bit lane, the second in the
// high one: stores their Y values and gives each channel's pixels.
TAVROCAM_LANES_INLINE auto ConvertRowPairLuma(const std::uint8_t* p0, const std::uint8_t* p1, std::int16_t* y0,
                                              std::int16_t* y1) {
  __m256i piece[3];
  for (int s = 0; s < 3; ++s) {
    piece[s] =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p0 + 16 * s))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p1 + 16 * s)), 1);
  }
  const auto ch = SplitChannels(piece);
  const __m256i y_left = Luma(ch.left);
  const __m256i y_right = Luma(ch.right);
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
TAVROCAM_LANES_INLINE void ConvertRowQuad256(const std::uint8_t* p, std::ptrdiff_t stride, std::int16_t* y,
                                             std::int16_t* cb, std::int16_t* cr) {
  const auto a = ConvertRowPairLuma(p, p + stride, y, y + 8);
  const auto b = ConvertRowPairLuma(p + 2 * stride, p + 3 * stride, y + 16, y + 24);
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
  StoreChromaRows(sum, cb, cr);
}

}  // namespace

// A whole 16x16 MCU four rows at a time.
void extract_bgr_ycc_2x2_avx2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace) {
  ExtractLanes<4>(src, stride, columns, rows, workspace, ConvertRowQuad256);
}

}  // namespace jpeg
