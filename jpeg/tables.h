// Default tables (T.81 Annex K), the zigzag order, quality scaling and the
// derived forms the kernels use.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "jpeg/work_state.h"

namespace jpeg {

// kZigzag[k]: natural (row-major) index of zigzag position k. Defined here so
// the vector kernels can build their shuffle and permute tables from it.
inline constexpr std::array<std::int32_t, 64> kZigzag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// Base quantisation tables in zigzag order: luminance (id 0), chrominance (id 1).
extern const std::array<std::uint8_t, 64> kLuminanceQuant;
extern const std::array<std::uint8_t, 64> kChrominanceQuant;

// Huffman tables: 16 code-length counts, then the symbols.
extern const std::array<std::uint8_t, 16> kDcLuminanceCounts;
extern const std::array<std::uint8_t, 12> kDcLuminanceSymbols;
extern const std::array<std::uint8_t, 16> kDcChrominanceCounts;
extern const std::array<std::uint8_t, 12> kDcChrominanceSymbols;
extern const std::array<std::uint8_t, 16> kAcLuminanceCounts;
extern const std::array<std::uint8_t, 162> kAcLuminanceSymbols;
extern const std::array<std::uint8_t, 16> kAcChrominanceCounts;
extern const std::array<std::uint8_t, 162> kAcChrominanceSymbols;

// Scale factor percentage for a quality; out-of-range qualities are clamped to 1..100.
std::int32_t QualityScale(std::int32_t quality);

// base (zigzag) scaled by quality into values 1..255 (zigzag).
void ScaleQuantTable(std::span<const std::uint8_t, 64> base, std::int32_t quality,
                     std::span<std::uint16_t, 64> prepared);

// 32768 / value, moved from zigzag to natural order.
void ReciprocalTable(std::span<const std::uint16_t, 64> prepared, std::span<std::uint16_t, 64> reciprocals);

// Total symbols a count list announces.
std::int32_t HuffmanSymbolCount(const std::uint8_t* counts);

// Canonical codes (T.81 Annex C) per symbol. 0, or -6 for an impossible table.
std::int32_t BuildHuffmanCodeTable(const std::uint8_t* counts, const std::uint8_t* symbols, HuffmanCodeTable& table);

}  // namespace jpeg
