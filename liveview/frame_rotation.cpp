#include "liveview/frame_rotation.h"

#include <algorithm>
#include <cstring>

#include "jpeg/processor_features.h"
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

// Column-wise turns of a real picture go to the widest vector kernel the
// processor has.
enum class TurnKernel { kPlain, kSsse3, kAvx2, kAvx512 };

// The widest set the program's one processor choice allows (under its
// VECTORSET cap), taken once; a kernel left out of the build is never chosen.
TurnKernel BestVectorKernel() {
  static const TurnKernel best = [] {
    switch (cpu::TurnSetFor(cpu::ProgramFeatures())) {
      case cpu::KernelSet::kAvx512:
        if (rotation_kernels::TurnAvx512Available()) return TurnKernel::kAvx512;
        [[fallthrough]];
      case cpu::KernelSet::kAvx2:
        if (rotation_kernels::TurnAvx2Available()) return TurnKernel::kAvx2;
        [[fallthrough]];
      case cpu::KernelSet::kSsse3:
        if (rotation_kernels::TurnSsse3Available()) return TurnKernel::kSsse3;
        [[fallthrough]];
      default: return TurnKernel::kPlain;
    }
  }();
  return best;
}

TurnKernel VectorKernelFor(const PixelRows& from, int quarterTurns) {
  if ((quarterTurns & 1) == 0 || from.top == nullptr || from.width <= 0 || from.height <= 0) return TurnKernel::kPlain;
  return BestVectorKernel();
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
  switch (BestVectorKernel()) {
    case TurnKernel::kSsse3: return "ssse3";
    case TurnKernel::kAvx2: return "avx2";
    case TurnKernel::kAvx512: return "avx512";
    case TurnKernel::kPlain: break;
  }
  return "plain";
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
  switch (VectorKernelFor(from, quarterTurns)) {
    case TurnKernel::kAvx512: return rotation_kernels::TurnQuarterAvx512(from, quarterTurns & 3, out, outStep);
    case TurnKernel::kAvx2: return rotation_kernels::TurnQuarterAvx2(from, quarterTurns & 3, out, outStep);
    case TurnKernel::kSsse3: return rotation_kernels::TurnQuarterSsse3(from, quarterTurns & 3, out, outStep);
    case TurnKernel::kPlain: break;
  }
  Turn<CopyBgr>(from, quarterTurns, out, outStep);
}

void TurnPixelsToRgb32(const PixelRows& from, int quarterTurns, std::uint32_t* out, std::ptrdiff_t outStep) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(out);
  const std::ptrdiff_t stepBytes = outStep * static_cast<std::ptrdiff_t>(sizeof(std::uint32_t));
  if ((quarterTurns & 3) == 0 && from.top != nullptr && from.width > 0 && from.height > 0) {
    // The painted picture's every frame: rows widened in vectors (AVX2 has
    // no widening of its own; SSSE3's serves).
    switch (BestVectorKernel()) {
      case TurnKernel::kAvx512: return rotation_kernels::WidenRowsAvx512(from, bytes, stepBytes);
      case TurnKernel::kAvx2:
      case TurnKernel::kSsse3: return rotation_kernels::WidenRowsSsse3(from, bytes, stepBytes);
      case TurnKernel::kPlain: break;
    }
  }
  switch (VectorKernelFor(from, quarterTurns)) {
    case TurnKernel::kAvx512:
      return rotation_kernels::TurnQuarterToRgb32Avx512(from, quarterTurns & 3, bytes, stepBytes);
    case TurnKernel::kAvx2: return rotation_kernels::TurnQuarterToRgb32Avx2(from, quarterTurns & 3, bytes, stepBytes);
    case TurnKernel::kSsse3: return rotation_kernels::TurnQuarterToRgb32Ssse3(from, quarterTurns & 3, bytes, stepBytes);
    case TurnKernel::kPlain: break;
  }
  Turn<WidenToRgb32>(from, quarterTurns, reinterpret_cast<std::uint8_t*>(out),
                     outStep * static_cast<std::ptrdiff_t>(sizeof(std::uint32_t)));
}
