#include "camera/frame_assembler.h"

#include <algorithm>
#include <cstring>

#include "camera/frame_assembler_kernels.h"
#include "camera/frame_assembler_loop.h"
#include "camera/frame_layout.h"
#include "jpeg/kernel_choice.h"

namespace camera {

namespace kernels {

void InterleaveForwardPlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  for (std::size_t i = 0; i < n; ++i) {
    out[3 * i] = first[i];
    out[3 * i + 1] = second[i];
    out[3 * i + 2] = third[i];
  }
}

void InterleaveReversePlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  for (std::size_t m = 0; m < n; ++m) {
    const std::size_t i = n - 1 - m;
    out[3 * m] = first[i];
    out[3 * m + 1] = second[i];
    out[3 * m + 2] = third[i];
  }
}

const AssemblyKernelSet& PlainKernels() {
  static constexpr AssemblyKernelSet kKernels = KernelSetOf<PlainRuns>(cpu::KernelSet::kPlain);
  return kKernels;
}

}  // namespace kernels

namespace {

int NormalisedOrientation(int orientation) {
  return (orientation >= kOrientationAsSent && orientation <= kOrientationTurned) ? orientation : kOrientationAsSent;
}

// The levels in AssemblyKernels' order: the names the benchmarks and tests
// print, and the set each level's kernels are built in.
constexpr std::array<const char*, 3> kLevelNames{"plain", "SSSE3", "AVX2"};
constexpr std::array<cpu::KernelSet, 3> kLevelSets{cpu::KernelSet::kPlain, cpu::KernelSet::kSsse3,
                                                   cpu::KernelSet::kAvx2};

// The widest kernels up to `allowed` that run here; a set left out of the
// build (no x86) or missing from the processor is never chosen.
const kernels::AssemblyKernelSet& KernelsUpTo(cpu::KernelSet allowed) {
  const kernels::AssemblyKernelSet* widest =
      cpu::WidestAllowed(allowed, {kernels::Avx2Kernels(), kernels::Ssse3Kernels()});
  return widest != nullptr ? *widest : kernels::PlainKernels();
}

std::size_t FramePixels(FrameShape shape) { return static_cast<std::size_t>(shape.width) * shape.height; }

bool ShapeFits(const PipeViews& pipes, FrameShape shape, std::span<std::uint8_t> dest) {
  if (shape.width <= 0 || shape.height <= 0 || shape.chunkCount == 0 || shape.chunkCount % 3 != 0) return false;
  const std::size_t frameBytes = FramePixels(shape) * kBytesPerPixel;
  if (static_cast<std::size_t>(shape.chunkCount) * kChunkBytes != frameBytes) return false;
  if (dest.size() < frameBytes) return false;
  for (std::size_t p = 0; p < kAssemblyPipes; ++p) {
    if (pipes[p].size() < PipeBytesUsed(shape.chunkCount, p)) return false;
  }
  return true;
}

}  // namespace

std::size_t PipeBytesUsed(std::uint32_t chunkCount, std::size_t pipe) {
  if (pipe >= kAssemblyPipes || pipe >= chunkCount) return 0;
  return kChunkBytes * ((chunkCount - pipe + kAssemblyPipes - 1) / kAssemblyPipes);
}

AssemblyKernels BestAssemblyKernels() {
  // The program's one processor choice, under its VECTORSET cap.
  static const AssemblyKernels best = [] {
    const cpu::KernelSet set = KernelsUpTo(cpu::AssemblySetFor(cpu::ProgramFeatures())).set;
    return static_cast<AssemblyKernels>(std::ranges::find(kLevelSets, set) - kLevelSets.begin());
  }();
  return best;
}

bool VectorAssemblySupported() { return BestAssemblyKernels() != AssemblyKernels::Plain; }

const char* AssemblyKernelsName(AssemblyKernels kernels) {
  const auto level = static_cast<std::size_t>(kernels);
  return level < kLevelNames.size() ? kLevelNames[level] : "plain";
}

bool AssembleFrameDirect(const PipeViews& pipes, FrameShape shape, int orientation, std::span<std::uint8_t> dest) {
  return AssembleFrameDirect(pipes, shape, orientation, dest, BestAssemblyKernels());
}

bool AssembleFrameDirect(const PipeViews& pipes, FrameShape shape, int orientation, std::span<std::uint8_t> dest,
                         AssemblyKernels wanted) {
  if (!ShapeFits(pipes, shape, dest)) return false;
  // Never run kernels the processor lacks (the levels are ordered).
  const AssemblyKernels level = std::clamp(wanted, AssemblyKernels::Plain, BestAssemblyKernels());
  KernelsUpTo(kLevelSets[static_cast<std::size_t>(level)])
      .assembleRuns(pipes, shape, NormalisedOrientation(orientation), dest.data());
  return true;
}

bool AssembleFrameStaged(const PipeViews& pipes, FrameShape shape, int orientation, std::span<std::uint8_t> stageA,
                         std::span<std::uint8_t> stageB, std::span<std::uint8_t> dest) {
  if (!ShapeFits(pipes, shape, dest)) return false;
  const std::size_t frameBytes = FramePixels(shape) * kBytesPerPixel;
  if (stageA.size() < frameBytes || stageB.size() < frameBytes) return false;

  const std::size_t width = static_cast<std::size_t>(shape.width);
  const std::size_t pixels = FramePixels(shape);
  const int code = NormalisedOrientation(orientation);
  const bool reversedWrite = code == kOrientationFlipped || code == kOrientationTurned;

  std::array<const std::uint8_t*, kAssemblyPipes> cursor{};
  for (std::size_t p = 0; p < kAssemblyPipes; ++p) cursor[p] = pipes[p].data();

  std::size_t q = 0;
  for (std::size_t j = 0; j < shape.chunkCount / 3; ++j) {
    const std::size_t k = 3 * j;
    const std::uint8_t* third = cursor[k % kAssemblyPipes];
    const std::uint8_t* second = cursor[(k + 1) % kAssemblyPipes];
    const std::uint8_t* first = cursor[(k + 2) % kAssemblyPipes];
    for (std::size_t i = 0; i < kChunkBytes; ++i, ++q) {
      std::uint8_t* px = stageB.data() + kBytesPerPixel * (reversedWrite ? pixels - 1 - q : q);
      px[0] = first[i];
      px[1] = second[i];
      px[2] = third[i];
    }
    for (std::size_t c = k; c < k + 3; ++c) cursor[c % kAssemblyPipes] += kChunkBytes;
  }

  std::span<const std::uint8_t> result = stageB;
  if (code == kOrientationMirrored || code == kOrientationFlipped) {
    const std::size_t rowBytes = width * kBytesPerPixel;
    for (std::size_t y = 0; y < static_cast<std::size_t>(shape.height); ++y) {
      const std::uint8_t* from = stageB.data() + y * rowBytes;
      std::uint8_t* to = stageA.data() + y * rowBytes;
      for (std::size_t x = 0; x < width; ++x) {
        std::memcpy(to + kBytesPerPixel * x, from + kBytesPerPixel * (width - 1 - x), kBytesPerPixel);
      }
    }
    result = stageA;
  }
  std::memcpy(dest.data(), result.data(), frameBytes);
  return true;
}

}  // namespace camera
