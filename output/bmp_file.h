// The BMP file form of a packed device-independent bitmap: a 14-byte file
// header in front of the packed bitmap, which follows unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

inline constexpr std::size_t kBmpFileHeaderBytes = 14;

struct BmpFileLayout {
  std::uint32_t fileBytes = 0;    // header plus the packed bitmap's used bytes
  std::uint32_t pixelOffset = 0;  // from the start of the file
};

// The layout of the file for a packed bitmap (information header, colour
// table, pixel rows); nothing when the header is malformed or claims more
// bytes than the packed bitmap holds.
std::optional<BmpFileLayout> BmpLayoutFor(std::span<const std::uint8_t> packed);

std::array<std::uint8_t, kBmpFileHeaderBytes> BmpFileHeader(const BmpFileLayout& layout);
