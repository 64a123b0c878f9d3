// Built with -mssse3; nothing here runs before Ssse3Available() said yes.
#include "camera/frame_assembler_kernels.h"
#include "camera/frame_assembler_loop.h"
#include "camera/frame_assembler_masks.h"
#include "jpeg/processor_features.h"

#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif

namespace camera::kernels {

#if defined(__SSSE3__)

namespace {

inline __m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Holds the masks in registers for a whole frame.
class Ssse3Runs {
 public:
  Ssse3Runs() {
    for (int p = 0; p < 3; ++p) {
      m_gatherForward[p] = Load16(kLaneMasks.gatherForward[p]);
      m_gatherReverse[p] = Load16(kLaneMasks.gatherReverse[p]);
      m_positions[p] = Load16(kLaneMasks.select[0][p]);  // positions t with t mod 3 = p
    }
  }

  void Forward(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) Interleave16<false>(first + i, second + i, third + i, out + 3 * i);
    if (i < n) InterleaveForwardPlain(first + i, second + i, third + i, n - i, out + 3 * i);
  }

  // Output pixels m..m+15 are input pixels n-16-m..n-1-m, taken last to first.
  void Reverse(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    std::size_t m = 0;
    for (; m + 16 <= n; m += 16) {
      const std::size_t i = n - 16 - m;
      Interleave16<true>(first + i, second + i, third + i, out + 3 * m);
    }
    if (m < n) InterleaveReversePlain(first, second, third, n - m, out + 3 * m);
  }

 private:
  // Output vector v takes plane p at the positions t with (v + t) mod 3 = p.
  __m128i Pick(const __m128i (&planes)[3], int v) const {
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(planes[0], m_positions[(3 - v) % 3]),
                                     _mm_and_si128(planes[1], m_positions[(4 - v) % 3])),
                        _mm_and_si128(planes[2], m_positions[(5 - v) % 3]));
  }

  // 16 pixels from 16 bytes of each plane, into 48 output bytes.
  template <bool kReverse>
  void Interleave16(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                    std::uint8_t* out) const {
    const __m128i(&gather)[3] = kReverse ? m_gatherReverse : m_gatherForward;
    const __m128i planes[3]{_mm_shuffle_epi8(Load16(first), gather[0]), _mm_shuffle_epi8(Load16(second), gather[1]),
                            _mm_shuffle_epi8(Load16(third), gather[2])};
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), Pick(planes, 0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), Pick(planes, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), Pick(planes, 2));
  }

  __m128i m_gatherForward[3];
  __m128i m_gatherReverse[3];
  __m128i m_positions[3];
};

}  // namespace

bool Ssse3Available() { return cpu::DetectedFeatures().ssse3; }

void InterleaveForwardSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  Ssse3Runs().Forward(first, second, third, n, out);
}

void InterleaveReverseSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  Ssse3Runs().Reverse(first, second, third, n, out);
}

void AssembleRunsSsse3(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out) {
  AssembleRuns(Ssse3Runs(), pipes, shape, code, out);
}

#else

bool Ssse3Available() { return false; }
void InterleaveForwardSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  InterleaveForwardPlain(first, second, third, n, out);
}
void InterleaveReverseSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  InterleaveReversePlain(first, second, third, n, out);
}
void AssembleRunsSsse3(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out) {
  AssembleRunsPlain(pipes, shape, code, out);
}

#endif

}  // namespace camera::kernels
