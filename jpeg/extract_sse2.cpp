#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

namespace {

// SSE2 has no byte shuffle to split the channels. Instead each pixel is
// moved into a 32-bit lane of its own (byte shifts and masks), where blue
// and red are one pair of 16-bit values and green another: the weights then
// apply by multiply-adds without ever separating the channels.
struct PixelLanes {
  __m128i blue_red[4];  // pixels 4k..4k+3: blue in the low 16 bits, red in the high
  __m128i green[4];     // the same pixels' green in the low 16 bits
};

TAVROCAM_LANES_INLINE __m128i SpreadFourPixels(__m128i x) {
  const __m128i m0 = _mm_setr_epi32(0x00FFFFFF, 0, 0, 0);
  const __m128i m1 = _mm_setr_epi32(0, 0x00FFFFFF, 0, 0);
  const __m128i m2 = _mm_setr_epi32(0, 0, 0x00FFFFFF, 0);
  const __m128i m3 = _mm_setr_epi32(0, 0, 0, 0x00FFFFFF);
  return _mm_or_si128(_mm_or_si128(_mm_and_si128(x, m0), _mm_and_si128(_mm_slli_si128(x, 1), m1)),
                      _mm_or_si128(_mm_and_si128(_mm_slli_si128(x, 2), m2), _mm_and_si128(_mm_slli_si128(x, 3), m3)));
}

// One row of sixteen pixels; reads exactly its 48 bytes.
TAVROCAM_LANES_INLINE PixelLanes LoadPixelLanes(const std::uint8_t* p) {
  __m128i x[4];
  for (int k = 0; k < 3; ++k) x[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12 * k));
  x[3] = _mm_srli_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), 4);
  PixelLanes lanes;
  const __m128i low_bytes = _mm_set1_epi32(0x00FF00FF);
  for (int k = 0; k < 4; ++k) {
    const __m128i spread = SpreadFourPixels(x[k]);
    lanes.blue_red[k] = _mm_and_si128(spread, low_bytes);
    lanes.green[k] = _mm_srli_epi16(spread, 8);
  }
  return lanes;
}

// 77 r + 150 g + 29 b - 32640, shifted; the results lie in -128..127, so the
// saturating pack loses nothing. y receives the left eight, y + 64 the right.
TAVROCAM_LANES_INLINE void StoreLuma(const PixelLanes& lanes, std::int16_t* y) {
  const __m128i br_weights = _mm_set1_epi32((77 << 16) | 29);
  const __m128i g_weights = _mm_set1_epi32(150);
  const __m128i bias = _mm_set1_epi32(-32640);
  __m128i luma[4];
  for (int k = 0; k < 4; ++k) {
    const __m128i sum =
        _mm_add_epi32(_mm_madd_epi16(lanes.blue_red[k], br_weights), _mm_madd_epi16(lanes.green[k], g_weights));
    luma[k] = _mm_srai_epi32(_mm_add_epi32(sum, bias), 8);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y), _mm_packs_epi32(luma[0], luma[1]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y + 64), _mm_packs_epi32(luma[2], luma[3]));
}

// Sums of neighbouring pixels' lanes (16-bit halves apart, at most 1020),
// two groups of four pixels giving four 2x2 sums.
TAVROCAM_LANES_INLINE __m128i PairSums(__m128i a, __m128i b) {
  const __m128i ha = _mm_add_epi16(a, _mm_shuffle_epi32(a, _MM_SHUFFLE(2, 3, 0, 1)));
  const __m128i hb = _mm_add_epi16(b, _mm_shuffle_epi32(b, _MM_SHUFFLE(2, 3, 0, 1)));
  return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(ha), _mm_castsi128_ps(hb), _MM_SHUFFLE(2, 0, 2, 0)));
}

// Two rows from p on: Y to y and y + 8, their chroma row to cb and cr.
void ConvertRowPairSse2(const std::uint8_t* p, std::ptrdiff_t stride, std::int16_t* y, std::int16_t* cb,
                        std::int16_t* cr) {
  const PixelLanes a = LoadPixelLanes(p);
  const PixelLanes b = LoadPixelLanes(p + stride);
  StoreLuma(a, y);
  StoreLuma(b, y + 8);
  // (w1 s1 + w2 s2 - wg g + 512) >> 10 over each 2x2 group's sums.
  const auto chroma = [](__m128i br, __m128i g, int w_blue, int w_red, int w_green) {
    const __m128i br_weights =
        _mm_set1_epi32(static_cast<int>((static_cast<unsigned>(w_red) << 16) | (w_blue & 0xFFFF)));
    const __m128i g_weights = _mm_set1_epi32(w_green & 0xFFFF);
    const __m128i sum = _mm_add_epi32(_mm_madd_epi16(br, br_weights), _mm_madd_epi16(g, g_weights));
    return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(512)), 10);
  };
  __m128i cb_half[2];
  __m128i cr_half[2];
  for (int h = 0; h < 2; ++h) {
    const int k = 2 * h;
    const __m128i br =
        PairSums(_mm_add_epi16(a.blue_red[k], b.blue_red[k]), _mm_add_epi16(a.blue_red[k + 1], b.blue_red[k + 1]));
    const __m128i g = PairSums(_mm_add_epi16(a.green[k], b.green[k]), _mm_add_epi16(a.green[k + 1], b.green[k + 1]));
    cb_half[h] = chroma(br, g, 128, -43, -85);
    cr_half[h] = chroma(br, g, -21, 128, -107);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(cb), _mm_packs_epi32(cb_half[0], cb_half[1]));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(cr), _mm_packs_epi32(cr_half[0], cr_half[1]));
}

}  // namespace

void extract_bgr_ycc_2x2_sse2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace) {
  ExtractLanes<2>(src, stride, columns, rows, workspace, ConvertRowPairSse2);
}

}  // namespace jpeg
