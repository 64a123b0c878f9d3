// The vector kernels of the quarter turns, chosen at run time by
// frame_rotation.cpp. Only turns 1 and 3 (the ones that run down columns)
// have them; the others are plain row copies already.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/processor_features.h"
#include "liveview/frame_rotation.h"

namespace rotation_kernels {

// The plain kernels, which every processor runs; the vector ones must match them byte for byte.
void TurnPlain(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);
void TurnToRgb32Plain(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes);

using TurnKernel = void (*)(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);
using WidenKernel = void (*)(const PixelRows& from, std::uint8_t* out, std::ptrdiff_t outStepBytes);

// One instruction set's kernels.
struct TurnKernelSet {
  cpu::KernelSet set;
  // `quarterTurns` is 1 or 3; the picture at least 1 x 1.
  TurnKernel turnQuarter;
  TurnKernel turnQuarterToRgb32;  // `outStep` in bytes
  // No turn, painted: each row widened to 0xFFRRGGBB, as TurnToRgb32Plain
  // with no turn does; nullptr for a set without a widening of its own.
  WidenKernel widenRows;
};

// Each set's kernels; nullptr when the set is left out of the build or the
// processor lacks it.
const TurnKernelSet* Ssse3TurnKernels();
const TurnKernelSet* Avx2TurnKernels();
const TurnKernelSet* Avx512TurnKernels();  // AVX-512 with byte permutes (VBMI)

// The AVX-512 turn of a frame of 1 MiB or more into rows on 64-byte
// boundaries, stored past the cache; false, with nothing written, for any
// other output.
bool TurnQuarterStreamedAvx512(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);

}  // namespace rotation_kernels
