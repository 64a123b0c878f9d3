#include "camera/frame_assembler.h"

#include <algorithm>
#include <cstring>

#include "camera/frame_assembler_kernels.h"
#include "camera/frame_layout.h"

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

}  // namespace kernels

namespace {

constexpr std::size_t kPixelsPerTriple = kChunkBytes;

int NormalisedOrientation(int orientation) {
  return (orientation >= kOrientationAsSent && orientation <= kOrientationTurned) ? orientation : kOrientationAsSent;
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

// The three planes of chunk triple j: chunk k sits on pipe k mod 4 at 64 x (k div 4).
struct TriplePlanes {
  const std::uint8_t* first;   // chunk 3j+2, the pixels' first bytes
  const std::uint8_t* second;  // chunk 3j+1
  const std::uint8_t* third;   // chunk 3j
};

inline TriplePlanes PlanesOf(const PipeViews& pipes, std::size_t triple) {
  const std::size_t k = 3 * triple;
  auto chunk = [&pipes](std::size_t c) { return pipes[c % kAssemblyPipes].data() + kChunkBytes * (c / kAssemblyPipes); };
  return {chunk(k + 2), chunk(k + 1), chunk(k)};
}

using RunKernel = void (*)(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t, std::uint8_t*);

}  // namespace

std::size_t PipeBytesUsed(std::uint32_t chunkCount, std::size_t pipe) {
  if (pipe >= kAssemblyPipes || pipe >= chunkCount) return 0;
  return kChunkBytes * ((chunkCount - pipe + kAssemblyPipes - 1) / kAssemblyPipes);
}

bool VectorAssemblySupported() {
  static const bool supported = kernels::Ssse3Available();
  return supported;
}

bool AssembleFrameDirect(const PipeViews& pipes, FrameShape shape, int orientation, std::span<std::uint8_t> dest) {
  if (!ShapeFits(pipes, shape, dest)) return false;
  const bool vector = VectorAssemblySupported();
  const RunKernel forward = vector ? kernels::InterleaveForwardSsse3 : kernels::InterleaveForwardPlain;
  const RunKernel reverse = vector ? kernels::InterleaveReverseSsse3 : kernels::InterleaveReversePlain;

  const std::size_t width = static_cast<std::size_t>(shape.width);
  const std::size_t height = static_cast<std::size_t>(shape.height);
  const std::size_t pixels = FramePixels(shape);
  const std::size_t triples = shape.chunkCount / 3;
  std::uint8_t* out = dest.data();
  const int code = NormalisedOrientation(orientation);

  if (code == kOrientationAsSent || code == kOrientationTurned) {
    // The whole frame is one run, forwards or turned end to end.
    for (std::size_t j = 0; j < triples; ++j) {
      const TriplePlanes t = PlanesOf(pipes, j);
      const std::size_t q = kPixelsPerTriple * j;
      if (code == kOrientationAsSent) {
        forward(t.first, t.second, t.third, kPixelsPerTriple, out + kBytesPerPixel * q);
      } else {
        reverse(t.first, t.second, t.third, kPixelsPerTriple, out + kBytesPerPixel * (pixels - kPixelsPerTriple - q));
      }
    }
    return true;
  }

  // Mirrored or flipped rows: a triple's 64 pixels may straddle two rows, so
  // each triple is cut at row ends into runs that land in one row each.
  for (std::size_t j = 0; j < triples; ++j) {
    const TriplePlanes t = PlanesOf(pipes, j);
    std::size_t i = 0;
    while (i < kPixelsPerTriple) {
      const std::size_t q = kPixelsPerTriple * j + i;
      const std::size_t y = q / width;
      const std::size_t x = q % width;
      const std::size_t n = std::min(kPixelsPerTriple - i, width - x);
      if (code == kOrientationMirrored) {
        reverse(t.first + i, t.second + i, t.third + i, n, out + kBytesPerPixel * (y * width + width - x - n));
      } else {
        forward(t.first + i, t.second + i, t.third + i, n, out + kBytesPerPixel * ((height - 1 - y) * width + x));
      }
      i += n;
    }
  }
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
