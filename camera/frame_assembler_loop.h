// The one pass of direct assembly, as a template over the run kernels so that
// each instruction set's file builds it with its kernels inlined (a call per
// run cost more than the shuffles). K has const Forward and Reverse with the
// signature of the kernels in frame_assembler_kernels.h; one K serves a whole
// frame, so the vector kernels keep their masks in registers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "camera/frame_assembler.h"
#include "camera/frame_assembler_kernels.h"

namespace camera::kernels {
// Each kernel's file compiles its own copy with its own instruction set:
// internal linkage keeps the linker from merging them.
namespace {

// `code` is 0..3; the shape and buffers have been checked.
template <class K>
void AssembleRuns(const K& kernel, const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out) {
  constexpr std::size_t kRun = 64;  // pixels of one chunk triple
  constexpr std::size_t kPixelBytes = 3;
  const std::size_t width = static_cast<std::size_t>(shape.width);
  const std::size_t height = static_cast<std::size_t>(shape.height);
  const std::size_t pixels = width * height;
  const std::size_t triples = shape.chunkCount / 3;
  const std::uint8_t* pipe[4] = {pipes[0].data(), pipes[1].data(), pipes[2].data(), pipes[3].data()};
  // Chunk c sits on pipe c mod 4 at 64 x (c div 4).
  auto chunk = [&pipe](std::size_t c) { return pipe[c % 4] + kRun * (c / 4); };

  if (code == 0) {
    for (std::size_t j = 0; j < triples; ++j) {
      kernel.Forward(chunk(3 * j + 2), chunk(3 * j + 1), chunk(3 * j), kRun, out + kPixelBytes * kRun * j);
    }
    return;
  }
  if (code == 3) {
    for (std::size_t j = 0; j < triples; ++j) {
      kernel.Reverse(chunk(3 * j + 2), chunk(3 * j + 1), chunk(3 * j), kRun,
                     out + kPixelBytes * (pixels - kRun * (j + 1)));
    }
    return;
  }
  // Mirrored or flipped rows: a triple's 64 pixels may straddle two rows, so
  // each triple is cut at row ends into runs that land in one row each.
  std::size_t y = 0;
  std::size_t x = 0;
  for (std::size_t j = 0; j < triples; ++j) {
    const std::uint8_t* first = chunk(3 * j + 2);
    const std::uint8_t* second = chunk(3 * j + 1);
    const std::uint8_t* third = chunk(3 * j);
    if (x + kRun <= width) {  // the usual case: the whole triple lies in one row
      if (code == 1) {
        kernel.Reverse(first, second, third, kRun, out + kPixelBytes * (y * width + width - x - kRun));
      } else {
        kernel.Forward(first, second, third, kRun, out + kPixelBytes * ((height - 1 - y) * width + x));
      }
      x += kRun;
      if (x == width) {
        x = 0;
        ++y;
      }
      continue;
    }
    for (std::size_t i = 0; i < kRun;) {
      const std::size_t n = std::min(kRun - i, width - x);
      if (code == 1) {
        kernel.Reverse(first + i, second + i, third + i, n, out + kPixelBytes * (y * width + width - x - n));
      } else {
        kernel.Forward(first + i, second + i, third + i, n, out + kPixelBytes * ((height - 1 - y) * width + x));
      }
      i += n;
      x += n;
      if (x == width) {
        x = 0;
        ++y;
      }
    }
  }
}

// Runs through the plain kernels: the plain pass, and what the vector
// kernels leave of a run.
struct PlainRuns {
  void Forward(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    InterleaveForwardPlain(first, second, third, n, out);
  }
  void Reverse(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    InterleaveReversePlain(first, second, third, n, out);
  }
};

// One set's table: its runs, one K made per call, and the pass over them.
template <class K>
constexpr AssemblyKernelSet KernelSetOf(cpu::KernelSet set) {
  return {set,
          [](const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
             std::uint8_t* out) { K().Forward(first, second, third, n, out); },
          [](const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
             std::uint8_t* out) { K().Reverse(first, second, third, n, out); },
          [](const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out) {
            AssembleRuns(K(), pipes, shape, code, out);
          }};
}

}  // namespace
}  // namespace camera::kernels
