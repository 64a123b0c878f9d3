// Clockwise quarter turns of a picture of 3-byte pixels (blue, green, red).
// Rows are addressed by the first pixel of the top row and the signed byte
// step from one row to the next, so the packed bitmap's bottom-up rows are
// read as they lie, without a flip first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct TurnedSize {
  int width = 0;
  int height = 0;
};

// 0, 90, 180 or 270 degrees as 0..3 quarter turns; nothing for any other value.
std::optional<int> QuarterTurnsForDegrees(int degrees);

inline TurnedSize TurnSize(int width, int height, int quarterTurns) {
  return (quarterTurns & 1) != 0 ? TurnedSize{height, width} : TurnedSize{width, height};
}

struct PixelRows {
  const std::uint8_t* top = nullptr;  // first pixel of the top row
  std::ptrdiff_t step = 0;            // bytes from one row to the next, negative for bottom-up storage
  int width = 0;
  int height = 0;
};

// Writes the picture turned by `quarterTurns` (0..3) clockwise into top-down
// rows of 3-byte pixels `outStep` bytes apart; the result has the size
// TurnSize gives. Source and destination must not overlap.
void TurnPixels(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);

// The set the quarter turns run here: "plain", "ssse3", "avx2" or "avx512",
// the program's one processor choice under its VECTORSET cap.
const char* TurnKernelsName();

// The same turn, widening each pixel to 0xFFRRGGBB for painting;
// `outStep` counts 32-bit pixels.
void TurnPixelsToRgb32(const PixelRows& from, int quarterTurns, std::uint32_t* out, std::ptrdiff_t outStep);
