// The quantiser of the SSE2 and AVX2 sets, built once per set with that set's
// flags. The AVX-512 set has none of its own: 512-bit lanes gain nothing on
// one block, so its table entry takes the AVX2 form.
#include "jpeg/vector_kernels.h"

#if defined(TAVROCAM_JPEG_SET_SSE2)
#include "jpeg/vector_lanes.h"
#elif defined(TAVROCAM_JPEG_SET_AVX2)
#include <immintrin.h>
#else
#error "built for the SSE2 and AVX2 sets, with TAVROCAM_JPEG_SET_<SET> defined"
#endif

namespace jpeg {

#if defined(TAVROCAM_JPEG_SET_SSE2)
void quantize_sse2(std::int16_t* block, const std::uint16_t* reciprocals) { QuantizeLanes(block, reciprocals); }
#elif defined(TAVROCAM_JPEG_SET_AVX2)
// (c r + 16384) >> 15 is exactly the rounding high-half multiply when r fits
// 16 signed bits; r = 32768 (divisor 1) shows as -32768 there and gives c itself.
void quantize_avx2(std::int16_t* block, const std::uint16_t* reciprocals) {
  const __m256i unit = _mm256_set1_epi16(-32768);
  for (int i = 0; i < 64; i += 16) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + i));
    const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(reciprocals + i));
    const __m256i q = _mm256_mulhrs_epi16(c, r);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + i), _mm256_blendv_epi8(q, c, _mm256_cmpeq_epi16(r, unit)));
  }
}
#endif

}  // namespace jpeg
