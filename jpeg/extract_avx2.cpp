#include <immintrin.h>

#include <array>

#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

namespace {

// Byte-shuffle masks picking channel c of sixteen BGR pixels out of the
// 16-byte piece s of their 48 bytes; 0x80 clears bytes from other pieces.
constexpr std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3> MakeMasks() {
  std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3> masks{};
  for (int c = 0; c < 3; ++c) {
    for (int s = 0; s < 3; ++s) {
      for (int i = 0; i < 16; ++i) {
        const int index = 3 * i + c - 16 * s;
        masks[c][s][i] = (index >= 0 && index < 16) ? static_cast<std::uint8_t>(index) : 0x80;
      }
    }
  }
  return masks;
}

alignas(16) constexpr auto kMasks = MakeMasks();

__attribute__((always_inline)) inline void ShuffleChannels(const std::uint8_t* p, __m128i& b, __m128i& g,
                                                           __m128i& r) {
  const __m128i piece[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
  __m128i out[3];
  for (int c = 0; c < 3; ++c) {
    __m128i acc = _mm_setzero_si128();
    for (int s = 0; s < 3; ++s) {
      const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks[c][s].data()));
      acc = _mm_or_si128(acc, _mm_shuffle_epi8(piece[s], mask));
    }
    out[c] = acc;
  }
  b = out[0];
  g = out[1];
  r = out[2];
}

}  // namespace

void extract_bgr_ycc_2x2_avx2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace) {
  ExtractLanes(src, stride, columns, rows, workspace, ShuffleChannels);
}

}  // namespace jpeg
