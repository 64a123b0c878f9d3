// The inner loops of frame assembly: n pixels built from three colour planes,
// written forwards or in reverse pixel order. out[3m..3m+2] = first[i],
// second[i], third[i] with i = m (forward) or n-1-m (reverse).
#pragma once

#include <cstddef>
#include <cstdint>

#include "camera/frame_assembler.h"
#include "jpeg/processor_features.h"

namespace camera::kernels {

void InterleaveForwardPlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);
void InterleaveReversePlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);

using InterleaveKernel = void (*)(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                                  std::size_t n, std::uint8_t* out);
// The whole direct pass; `code` is 0..3 and the shape and buffers have been checked.
using AssemblyPass = void (*)(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out);

// One instruction set's kernels.
struct AssemblyKernelSet {
  cpu::KernelSet set;
  InterleaveKernel forward;
  InterleaveKernel reverse;
  AssemblyPass assembleRuns;
};

const AssemblyKernelSet& PlainKernels();
// nullptr when the set is left out of the build (no x86) or the processor
// lacks it.
const AssemblyKernelSet* Ssse3Kernels();
const AssemblyKernelSet* Avx2Kernels();

}  // namespace camera::kernels
