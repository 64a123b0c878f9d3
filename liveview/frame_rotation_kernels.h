// The vector kernels of the quarter turns, chosen at run time by
// frame_rotation.cpp. Only turns 1 and 3 (the ones that run down columns)
// have them; the others are plain row copies already.
#pragma once

#include <cstddef>
#include <cstdint>

#include "liveview/frame_rotation.h"

namespace rotation_kernels {

// The plain kernels, which every processor runs; the vector ones must match them byte for byte.
void TurnPlain(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);
void TurnToRgb32Plain(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes);

bool TurnSsse3Available();
// `quarterTurns` is 1 or 3; the picture at least 1 x 1.
void TurnQuarterSsse3(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);
void TurnQuarterToRgb32Ssse3(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes);

bool TurnAvx2Available();
void TurnQuarterAvx2(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);
void TurnQuarterToRgb32Avx2(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes);

// AVX-512 with byte permutes (VBMI).
bool TurnAvx512Available();
void TurnQuarterAvx512(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);
void TurnQuarterToRgb32Avx512(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes);

}  // namespace rotation_kernels
