// Turns the four pipes' bytes into a picture. The camera cuts a frame into
// 64-byte chunks dealt round the four pipes; every three chunks carry one
// colour plane each of 64 pixels. Assembly interleaves them into 3-byte pixels
// and applies the mirror/flip orientation. Pure functions of bytes: no device,
// no threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace camera {

inline constexpr std::size_t kAssemblyPipes = 4;

struct FrameShape {
  int width = 0;
  int height = 0;
  std::uint32_t chunkCount = 0;  // 64-byte chunks in the frame, a multiple of 3
};

using PipeViews = std::array<std::span<const std::uint8_t>, kAssemblyPipes>;

// Orientation codes: bit 0 mirrors each row, bit 1 reverses the row order;
// any value outside 0..3 delivers the frame as sent.
inline constexpr int kOrientationAsSent = 0;
inline constexpr int kOrientationMirrored = 1;
inline constexpr int kOrientationFlipped = 2;
inline constexpr int kOrientationTurned = 3;

// Bytes of pipe `pipe` that a frame of `chunkCount` chunks uses.
std::size_t PipeBytesUsed(std::uint32_t chunkCount, std::size_t pipe);

// The inner loops the direct assembly runs: plain C++, or byte shuffles of
// 16 (SSSE3) or 32 (AVX2) pixels at a time.
enum class AssemblyKernels { Plain, Ssse3, Avx2 };

// The best kernels this processor runs.
AssemblyKernels BestAssemblyKernels();
bool VectorAssemblySupported();
const char* AssemblyKernelsName(AssemblyKernels kernels);

// The frame written straight into `dest` in one pass, with the best kernels
// the processor runs, or with `kernels` when it runs them (else the best it
// has). False (dest untouched) when the shape is not a frame of whole chunk
// triples or a buffer is too small.
bool AssembleFrameDirect(const PipeViews& pipes, FrameShape shape, int orientation, std::span<std::uint8_t> dest);
bool AssembleFrameDirect(const PipeViews& pipes, FrameShape shape, int orientation, std::span<std::uint8_t> dest,
                         AssemblyKernels kernels);

// The plain version: interleave into stageB (in reverse pixel order for
// orientations 2 and 3), mirror each row into stageA for orientations 1 and 2,
// then one block copy into `dest`. Gives the same bytes as AssembleFrameDirect.
bool AssembleFrameStaged(const PipeViews& pipes, FrameShape shape, int orientation, std::span<std::uint8_t> stageA,
                         std::span<std::uint8_t> stageB, std::span<std::uint8_t> dest);

}  // namespace camera
