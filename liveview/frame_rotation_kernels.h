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

// No turn, painted: each row widened to 0xFFRRGGBB, as TurnToRgb32Plain
// with no turn does.
void WidenRowsSsse3(const PixelRows& from, std::uint8_t* out, std::ptrdiff_t outStepBytes);
void WidenRowsAvx512(const PixelRows& from, std::uint8_t* out, std::ptrdiff_t outStepBytes);

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
// The same turn of a frame of 1 MiB or more into rows on 64-byte
// boundaries, stored past the cache; false, with nothing written, for any
// other output.
bool TurnQuarterStreamedAvx512(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep);

}  // namespace rotation_kernels
