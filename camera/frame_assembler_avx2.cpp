// Built with -mavx2; nothing here runs unless Avx2Kernels() gave its kernels.
// The runs of frame_assembler_vector_runs.h two 16-pixel lanes at a time;
// the lanes' 48-byte results are put in order with one cross-lane permute
// per 32 output bytes.
#include <immintrin.h>

#include "camera/frame_assembler_kernels.h"
#include "camera/frame_assembler_vector_runs.h"
#include "jpeg/processor_features.h"

namespace camera::kernels {
namespace {

struct Lanes32 {
  using Vec = __m256i;
  static constexpr std::size_t kPixels = 32;

  static Vec Mask(const Lane& lane) { return _mm256_broadcastsi128_si256(Lanes16::Load(lane)); }
  template <bool kReverse>
  static Vec LoadPlane(const std::uint8_t* p) {
    if constexpr (kReverse) {
      return _mm256_inserti128_si256(_mm256_castsi128_si256(Lanes16::Load(p + 16)), Lanes16::Load(p), 1);
    } else {
      return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
  }
  static Vec Shuffle(Vec v, Vec picks) { return _mm256_shuffle_epi8(v, picks); }
  static Vec And(Vec a, Vec b) { return _mm256_and_si256(a, b); }
  static Vec Or(Vec a, Vec b) { return _mm256_or_si256(a, b); }
  // Each o holds its output vector for lane 0 low and lane 1 high; the 96
  // bytes run o0.lo o1.lo o2.lo o0.hi o1.hi o2.hi.
  static void Store(std::uint8_t* out, Vec o0, Vec o1, Vec o2) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute2x128_si256(o0, o1, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), _mm256_permute2x128_si256(o2, o0, 0x30));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 64), _mm256_permute2x128_si256(o1, o2, 0x31));
  }
};

}  // namespace

const AssemblyKernelSet* Avx2Kernels() {
  // 32 pixels a step; the rest of a run in SSSE3's 16-pixel steps.
  static constexpr AssemblyKernelSet kKernels = KernelSetOf<VectorRuns<Lanes32, Ssse3Runs>>(cpu::KernelSet::kAvx2);
  return cpu::DetectedFeatures().avx2 ? &kKernels : nullptr;
}

}  // namespace camera::kernels
