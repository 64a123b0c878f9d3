#include "liveview/frame_rotation.h"

#include <algorithm>
#include <cstring>

#include "jpeg/kernel_choice.h"
#include "liveview/frame_rotation_kernels.h"

namespace {

// Where destination pixel (x, y) comes from, as a byte offset linear in x
// and y from the source's top-left pixel.
struct SourceWalk {
  std::ptrdiff_t origin;
  std::ptrdiff_t perX;
  std::ptrdiff_t perY;
};

SourceWalk WalkFor(const PixelRows& from, int quarterTurns) {
  const std::ptrdiff_t w = from.width, h = from.height, s = from.step;
  switch (quarterTurns & 3) {
    case 1: return {(h - 1) * s, -s, 3};                 // out(x, y) = in(y, h-1-x)
    case 2: return {(h - 1) * s + (w - 1) * 3, -3, -s};  // out(x, y) = in(w-1-x, h-1-y)
    case 3: return {(w - 1) * 3, s, -3};                 // out(x, y) = in(w-1-y, x)
    default: return {0, 3, s};
  }
}

struct CopyBgr {
  static void Put(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 3); }
  static constexpr std::ptrdiff_t kBytes = 3;
};

struct WidenToRgb32 {
  static void Put(std::uint8_t* to, const std::uint8_t* from) {
    const std::uint32_t pixel = 0xFF000000u | std::uint32_t{from[2]} << 16 | std::uint32_t{from[1]} << 8 | from[0];
    std::memcpy(to, &pixel, 4);
  }
  static constexpr std::ptrdiff_t kBytes = 4;
};

// Square tiles keep both the rows read and the rows written in cache when
// a turn makes one of them run down columns.
constexpr int kTile = 16;

template <typename Store>
void Turn(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes) {
  if (from.top == nullptr || from.width <= 0 || from.height <= 0) return;
  const TurnedSize size = TurnSize(from.width, from.height, quarterTurns);
  const SourceWalk walk = WalkFor(from, quarterTurns);
  const int tile = (quarterTurns & 1) != 0 ? kTile : size.width;
  for (int y0 = 0; y0 < size.height; y0 += tile) {
    const int y1 = std::min(size.height, y0 + tile);
    for (int x0 = 0; x0 < size.width; x0 += tile) {
      const int x1 = std::min(size.width, x0 + tile);
      for (int y = y0; y < y1; ++y) {
        const std::uint8_t* in = from.top + walk.origin + y * walk.perY + x0 * walk.perX;
        std::uint8_t* to = out + y * outStepBytes + x0 * Store::kBytes;
        for (int x = x0; x < x1; ++x, in += walk.perX, to += Store::kBytes) Store::Put(to, in);
      }
    }
  }
}

using rotation_kernels::TurnKernelSet;

// Column-wise turns of a real picture go to the widest vector kernels the
// program's one processor choice allows (under its VECTORSET cap), taken
// once; nullptr for the plain ones. A set left out of the build is never
// chosen.
const TurnKernelSet* BestVectorKernels() {
  static const TurnKernelSet* const best =
      cpu::WidestAllowed(cpu::TurnSetFor(cpu::ProgramFeatures()),
                         {rotation_kernels::Avx512TurnKernels(), rotation_kernels::Avx2TurnKernels(),
                          rotation_kernels::Ssse3TurnKernels()});
  return best;
}

const TurnKernelSet* VectorKernelsFor(const PixelRows& from, int quarterTurns) {
  if ((quarterTurns & 1) == 0 || from.top == nullptr || from.width <= 0 || from.height <= 0) return nullptr;
  return BestVectorKernels();
}

// The painted picture's every frame: rows widened in vectors by the chosen
// set, or by SSSE3's where that set has no widening of its own (AVX2).
rotation_kernels::WidenKernel BestWidening() {
  static const rotation_kernels::WidenKernel widen = [] {
    const TurnKernelSet* kernels = BestVectorKernels();
    if (kernels != nullptr && kernels->widenRows == nullptr) kernels = rotation_kernels::Ssse3TurnKernels();
    return kernels != nullptr ? kernels->widenRows : nullptr;
  }();
  return widen;
}

}  // namespace

void rotation_kernels::TurnPlain(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  Turn<CopyBgr>(from, quarterTurns, out, outStep);
}

void rotation_kernels::TurnToRgb32Plain(const PixelRows& from, int quarterTurns, std::uint8_t* out,
                                        std::ptrdiff_t outStepBytes) {
  Turn<WidenToRgb32>(from, quarterTurns, out, outStepBytes);
}

const char* TurnKernelsName() {
  const TurnKernelSet* best = BestVectorKernels();
  return cpu::KernelSetName(best != nullptr ? best->set : cpu::KernelSet::kPlain);
}

std::optional<int> QuarterTurnsForDegrees(int degrees) {
  switch (degrees) {
    case 0: return 0;
    case 90: return 1;
    case 180: return 2;
    case 270: return 3;
    default: return std::nullopt;
  }
}

void TurnPixels(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  if ((quarterTurns & 3) == 0 && from.step == outStep && outStep == 3 * std::ptrdiff_t{from.width}) {
    std::memcpy(out, from.top, static_cast<std::size_t>(outStep) * static_cast<std::size_t>(from.height));
    return;
  }
  if (const TurnKernelSet* kernels = VectorKernelsFor(from, quarterTurns))
    return kernels->turnQuarter(from, quarterTurns & 3, out, outStep);
  Turn<CopyBgr>(from, quarterTurns, out, outStep);
}

void TurnPixelsToRgb32(const PixelRows& from, int quarterTurns, std::uint32_t* out, std::ptrdiff_t outStep) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(out);
  const std::ptrdiff_t stepBytes = outStep * static_cast<std::ptrdiff_t>(sizeof(std::uint32_t));
  if ((quarterTurns & 3) == 0 && from.top != nullptr && from.width > 0 && from.height > 0) {
    if (const rotation_kernels::WidenKernel widen = BestWidening()) return widen(from, bytes, stepBytes);
  }
  if (const TurnKernelSet* kernels = VectorKernelsFor(from, quarterTurns))
    return kernels->turnQuarterToRgb32(from, quarterTurns & 3, bytes, stepBytes);
  Turn<WidenToRgb32>(from, quarterTurns, bytes, stepBytes);
}
