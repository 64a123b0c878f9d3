#include <immintrin.h>

#include "jpeg/extract_wide_lanes.h"
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
  const auto ch = SplitChannels(piece);
  _mm512_storeu_si512(y, Luma(ch.left));
  _mm512_storeu_si512(y + 64, Luma(ch.right));

  // Sums over each 2x2 group: rows 0+1 and 2+3 lined up by lane shuffles,
  // then neighbouring pixels by a multiply-add. After the pack, lane 0 holds
  // the first chroma row's eight sums in order and lane 1 the second's.
  const __m512i ones = _mm512_set1_epi16(1);
  __m256i sum[3];
  for (int c = 0; c < 3; ++c) {
    const __m512i even_rows = _mm512_shuffle_i64x2(ch.left[c], ch.right[c], _MM_SHUFFLE(2, 0, 2, 0));
    const __m512i odd_rows = _mm512_shuffle_i64x2(ch.left[c], ch.right[c], _MM_SHUFFLE(3, 1, 3, 1));
    const __m512i pairs = _mm512_madd_epi16(_mm512_add_epi16(even_rows, odd_rows), ones);  // L01 L23 R01 R23
    const __m512i swapped = _mm512_shuffle_i64x2(pairs, pairs, _MM_SHUFFLE(1, 0, 3, 2));   // R01 R23 L01 L23
    sum[c] = _mm512_castsi512_si256(_mm512_packs_epi32(pairs, swapped));
  }
  StoreChromaRows(sum, cb, cr);
}

}  // namespace

// A whole 16x16 MCU four rows at a time.
void extract_bgr_ycc_2x2_avx512(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                                std::int16_t* workspace) {
  ExtractLanes<4>(src, stride, columns, rows, workspace, ConvertRowQuad);
}

}  // namespace jpeg
