// Built with -mavx2 on x86; nothing here runs unless Avx2TurnKernels() gave
// its kernels. Quarter turns (1 and 3) in blocks of 8 x 8 pixels. Each register
// holds four pixels of a source row in its low half and the same four
// pixels of the row four further on in its high half (two broadcast loads
// and a blend: no shuffle). Widened to 32 bits, one 4 x 4 transpose within
// the halves then gives whole output rows of eight pixels, which are
// narrowed again (or kept wide for painting).
#include <immintrin.h>

#include <cstring>

#include "jpeg/processor_features.h"
#include "liveview/frame_rotation_kernels.h"
#include "liveview/frame_rotation_tiles.h"

namespace rotation_kernels {
namespace {

inline __m256i BothHalves(const std::uint8_t* low, const std::uint8_t* high) {
  const __m256i a = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low)));
  const __m256i b = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high)));
  return _mm256_blend_epi32(a, b, 0xF0);
}

template <int kBytes>
struct Block8 {
  static constexpr int kSize = 8;
  // Pixels 0-3 from the run's start, pixels 4-7 from 12 bytes on.
  static constexpr int kLoadBytes = 12 + 16;
  static constexpr int kPixelBytes = kBytes;

  explicit Block8(bool clockwise)
      : widen(clockwise ? _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5,
                                           -1, 6, 7, 8, -1, 9, 10, 11, -1)
                        : _mm256_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1, 9, 10, 11, -1, 6, 7, 8,
                                           -1, 3, 4, 5, -1, 0, 1, 2, -1)),
        narrow(_mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12,
                                13, 14, -1, -1, -1, -1)),
        firstHalf(clockwise ? 0 : 12),
        secondHalf(clockwise ? 12 : 0) {}

  // One output row: pixels 0-3 in the low half, 4-7 in the high half.
  [[gnu::always_inline]] void Put(std::uint8_t* to, __m256i wide, bool spill) const {
    if constexpr (kBytes == 4) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                          _mm256_or_si256(wide, _mm256_set1_epi32(static_cast<int>(0xFF000000u))));
    } else {
      const __m256i packed = _mm256_shuffle_epi8(wide, narrow);  // twelve bytes at the bottom of each half
      // The low half's four spare bytes are written over by the high half.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(packed));
      const __m128i high = _mm256_extracti128_si256(packed, 1);
      if (spill) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 12), high);
        return;
      }
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 12), high);
      const std::uint32_t tail = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(high, 8)));
      std::memcpy(to + 20, &tail, 4);
    }
  }

  // Four registers of four pixels from rows i and i+4 each, transposed in
  // their halves and put as four output rows.
  [[gnu::always_inline]] void TurnHalfBlock(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to,
                                            std::ptrdiff_t outStep, bool spill) const {
    // Written out: a loop over an array of registers is kept in memory at -O2.
    const __m256i v0 = _mm256_shuffle_epi8(BothHalves(base, base + 4 * perX), widen);
    const __m256i v1 = _mm256_shuffle_epi8(BothHalves(base + perX, base + 5 * perX), widen);
    const __m256i v2 = _mm256_shuffle_epi8(BothHalves(base + 2 * perX, base + 6 * perX), widen);
    const __m256i v3 = _mm256_shuffle_epi8(BothHalves(base + 3 * perX, base + 7 * perX), widen);
    const __m256i t0 = _mm256_unpacklo_epi32(v0, v1);
    const __m256i t1 = _mm256_unpackhi_epi32(v0, v1);
    const __m256i t2 = _mm256_unpacklo_epi32(v2, v3);
    const __m256i t3 = _mm256_unpackhi_epi32(v2, v3);
    Put(to, _mm256_unpacklo_epi64(t0, t2), spill);
    Put(to + outStep, _mm256_unpackhi_epi64(t0, t2), spill);
    Put(to + 2 * outStep, _mm256_unpacklo_epi64(t1, t3), spill);
    Put(to + 3 * outStep, _mm256_unpackhi_epi64(t1, t3), spill);
  }

  [[gnu::always_inline]] void operator()(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to,
                                         std::ptrdiff_t outStep, bool spill) const {
    // Addresses from these two each block: left to itself the compiler keeps
    // one running pointer per row, more than there are registers.
    asm("" : "+r"(base), "+r"(to));
    TurnHalfBlock(base + firstHalf, perX, to, outStep, spill);
    TurnHalfBlock(base + secondHalf, perX, to + 4 * outStep, outStep, spill);
  }

  __m256i widen, narrow;
  std::ptrdiff_t firstHalf, secondHalf;
};

}  // namespace

const TurnKernelSet* Avx2TurnKernels() {
  // No widening of its own: SSSE3's serves.
  static constexpr TurnKernelSet kKernels{cpu::KernelSet::kAvx2, TurnInBlocks<Block8, 3>, TurnInBlocks<Block8, 4>,
                                          nullptr};
  return cpu::DetectedFeatures().avx2 ? &kKernels : nullptr;
}

}  // namespace rotation_kernels
