#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

namespace {

// SSE2 has no byte shuffle; the channels are split through memory.
void SplitChannels(const std::uint8_t* p, __m128i& b, __m128i& g, __m128i& r) {
  alignas(16) std::uint8_t planes[3][16];
  for (int i = 0; i < 16; ++i) {
    planes[0][i] = p[3 * i];
    planes[1][i] = p[3 * i + 1];
    planes[2][i] = p[3 * i + 2];
  }
  b = _mm_load_si128(reinterpret_cast<const __m128i*>(planes[0]));
  g = _mm_load_si128(reinterpret_cast<const __m128i*>(planes[1]));
  r = _mm_load_si128(reinterpret_cast<const __m128i*>(planes[2]));
}

}  // namespace

void extract_bgr_ycc_2x2_sse2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace) {
  ExtractLanes(src, stride, columns, rows, workspace,
               [](const std::uint8_t* p0, const std::uint8_t* p1, std::int16_t* y0, std::int16_t* y1, std::int16_t* cb,
                  std::int16_t* cr) { ConvertRowPair(p0, p1, y0, y1, cb, cr, SplitChannels); });
}

}  // namespace jpeg
