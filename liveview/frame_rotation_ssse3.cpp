// Built with -mssse3 on x86; nothing here runs unless Ssse3TurnKernels()
// gave its kernels. Quarter turns (1 and 3) in blocks of 4 x 4 pixels: four
// source runs of four pixels are widened to 32 bits, transposed in
// registers, and narrowed again (or kept wide for painting) into four
// output rows.
#include <tmmintrin.h>

#include <cstring>

#include "jpeg/processor_features.h"
#include "liveview/frame_rotation_kernels.h"
#include "liveview/frame_rotation_tiles.h"

namespace rotation_kernels {
namespace {

inline __m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

template <int kBytes>
struct Block4 {
  static constexpr int kSize = 4;
  static constexpr int kLoadBytes = 16;
  static constexpr int kPixelBytes = kBytes;

  explicit Block4(bool clockwise)
      : widen(clockwise ? _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1)
                        : _mm_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1)),
        narrow(_mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1)) {}

  [[gnu::always_inline]] void Put(std::uint8_t* to, __m128i wide, bool spill) const {
    if constexpr (kBytes == 4) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                       _mm_or_si128(wide, _mm_set1_epi32(static_cast<int>(0xFF000000u))));
    } else {
      const __m128i packed = _mm_shuffle_epi8(wide, narrow);
      if (spill) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), packed);
        return;
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to), packed);
      const std::uint32_t tail = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 8)));
      std::memcpy(to + 8, &tail, 4);
    }
  }

  [[gnu::always_inline]] void operator()(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to,
                                         std::ptrdiff_t outStep, bool spill) const {
    const __m128i v0 = _mm_shuffle_epi8(Load16(base), widen);
    const __m128i v1 = _mm_shuffle_epi8(Load16(base + perX), widen);
    const __m128i v2 = _mm_shuffle_epi8(Load16(base + 2 * perX), widen);
    const __m128i v3 = _mm_shuffle_epi8(Load16(base + 3 * perX), widen);
    const __m128i t0 = _mm_unpacklo_epi32(v0, v1);
    const __m128i t1 = _mm_unpacklo_epi32(v2, v3);
    const __m128i t2 = _mm_unpackhi_epi32(v0, v1);
    const __m128i t3 = _mm_unpackhi_epi32(v2, v3);
    Put(to, _mm_unpacklo_epi64(t0, t1), spill);
    Put(to + outStep, _mm_unpackhi_epi64(t0, t1), spill);
    Put(to + 2 * outStep, _mm_unpacklo_epi64(t2, t3), spill);
    Put(to + 3 * outStep, _mm_unpackhi_epi64(t2, t3), spill);
  }

  __m128i widen, narrow;
};

void WidenRows(const PixelRows& from, std::uint8_t* out, std::ptrdiff_t outStepBytes) {
  const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (int y = 0; y < from.height; ++y) {
    const std::uint8_t* in = from.top + y * from.step;
    std::uint8_t* to = out + y * outStepBytes;
    int x = 0;
    // Four pixels a load of sixteen bytes, while sixteen are left in the row.
    for (; 3 * x + 16 <= 3 * from.width; x += 4)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4 * x),
                       _mm_or_si128(_mm_shuffle_epi8(Load16(in + 3 * x), widen), opaque));
    for (; x < from.width; ++x) PutPlainPixel<4>(to + 4 * x, in + 3 * x);
  }
}

}  // namespace

const TurnKernelSet* Ssse3TurnKernels() {
  static constexpr TurnKernelSet kKernels{cpu::KernelSet::kSsse3, TurnInBlocks<Block4, 3>, TurnInBlocks<Block4, 4>,
                                          WidenRows};
  return cpu::DetectedFeatures().ssse3 ? &kKernels : nullptr;
}

}  // namespace rotation_kernels
