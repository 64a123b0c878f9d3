// Built with -mssse3; nothing here runs unless Ssse3Kernels() gave its
// kernels: the runs of frame_assembler_vector_runs.h in 16-byte lanes.
#include "camera/frame_assembler_kernels.h"
#include "camera/frame_assembler_vector_runs.h"
#include "jpeg/processor_features.h"

namespace camera::kernels {

const AssemblyKernelSet* Ssse3Kernels() {
  static constexpr AssemblyKernelSet kKernels = KernelSetOf<Ssse3Runs>(cpu::KernelSet::kSsse3);
  return cpu::DetectedFeatures().ssse3 ? &kKernels : nullptr;
}

}  // namespace camera::kernels
