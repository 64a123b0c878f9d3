// Built with -mavx2; nothing here runs before Avx2Available() said yes. Two
// 16-pixel lanes at a time; the lanes' 48-byte results are put in order with
// one cross-lane permute per 32 output bytes.
#include "camera/frame_assembler_kernels.h"
#include "camera/frame_assembler_loop.h"
#include "camera/frame_assembler_masks.h"
#include "jpeg/processor_features.h"

#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace camera::kernels {

#if defined(__AVX2__)

namespace {

inline __m256i Broadcast(const std::uint8_t* lane) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lane)));
}
inline __m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// Holds the masks in registers for a whole frame.
class Avx2Runs {
 public:
  Avx2Runs() {
    for (int p = 0; p < 3; ++p) {
      m_gatherForward[p] = Broadcast(kLaneMasks.gatherForward[p]);
      m_gatherReverse[p] = Broadcast(kLaneMasks.gatherReverse[p]);
      m_positions[p] = Broadcast(kLaneMasks.select[0][p]);  // positions t with t mod 3 = p
    }
  }

  void Forward(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) Interleave32<false>(first + i, second + i, third + i, out + 3 * i);
    if (i < n) InterleaveForwardSsse3(first + i, second + i, third + i, n - i, out + 3 * i);
  }

  // Output pixels k..k+31 are input pixels n-32-k..n-1-k, taken last to first.
  void Reverse(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    std::size_t k = 0;
    for (; k + 32 <= n; k += 32) {
      const std::size_t i = n - 32 - k;
      Interleave32<true>(first + i, second + i, third + i, out + 3 * k);
    }
    if (k < n) InterleaveReverseSsse3(first, second, third, n - k, out + 3 * k);
  }

 private:
  // A plane's 32 bytes; reversed, the two 16-byte halves change lanes so that
  // lane 0 holds the pixels that come out first.
  template <bool kReverse>
  static __m256i LoadPlane(const std::uint8_t* p) {
    if constexpr (kReverse) {
      return _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(p + 16)), Load16(p), 1);
    } else {
      return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
  }

  // Output vector v takes plane p at the positions t with (v + t) mod 3 = p.
  __m256i Pick(const __m256i (&planes)[3], int v) const {
    return _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(planes[0], m_positions[(3 - v) % 3]),
                                           _mm256_and_si256(planes[1], m_positions[(4 - v) % 3])),
                           _mm256_and_si256(planes[2], m_positions[(5 - v) % 3]));
  }

  template <bool kReverse>
  void Interleave32(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                    std::uint8_t* out) const {
    const __m256i(&gather)[3] = kReverse ? m_gatherReverse : m_gatherForward;
    const __m256i planes[3]{_mm256_shuffle_epi8(LoadPlane<kReverse>(first), gather[0]),
                            _mm256_shuffle_epi8(LoadPlane<kReverse>(second), gather[1]),
                            _mm256_shuffle_epi8(LoadPlane<kReverse>(third), gather[2])};
    const __m256i o0 = Pick(planes, 0);
    const __m256i o1 = Pick(planes, 1);
    const __m256i o2 = Pick(planes, 2);
    // Each o holds its output vector for lane 0 low and lane 1 high; the 96
    // bytes run o0.lo o1.lo o2.lo o0.hi o1.hi o2.hi.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(o0, o1, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), _mm256_permute2x128_si256(o2, o0, 0x30));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), _mm256_permute2x128_si256(o1, o2, 0x31));
  }

  __m256i m_gatherForward[3];
  __m256i m_gatherReverse[3];
  __m256i m_positions[3];
};

}  // namespace

bool Avx2Available() { return cpu::DetectedFeatures().avx2; }

void InterleaveForwardAvx2(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                           std::size_t n, std::uint8_t* out) {
  Avx2Runs().Forward(first, second, third, n, out);
}

void InterleaveReverseAvx2(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                           std::size_t n, std::uint8_t* out) {
  Avx2Runs().Reverse(first, second, third, n, out);
}

void AssembleRunsAvx2(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out) {
  AssembleRuns(Avx2Runs(), pipes, shape, code, out);
}

#else

bool Avx2Available() { return false; }
void InterleaveForwardAvx2(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                           std::size_t n, std::uint8_t* out) {
  InterleaveForwardSsse3(first, second, third, n, out);
}
void InterleaveReverseAvx2(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                           std::size_t n, std::uint8_t* out) {
  InterleaveReverseSsse3(first, second, third, n, out);
}
void AssembleRunsAvx2(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out) {
  AssembleRunsSsse3(pipes, shape, code, out);
}

#endif

}  // namespace camera::kernels
