// What a movie frame needs to know about a packed device-independent bitmap
// (information header, colour table, pixel rows), read from its header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct PackedBitmapInfo {
  int width = 0;
  int height = 0;        // always positive
  bool bottomUp = true;  // a positive header height stores the bottom row first
  int bitCount = 0;
  std::uint32_t headerBytes = 0;
  std::uint32_t colorTableBytes = 0;
  int stride = 0;  // bytes of one stored row, padded to 4
  std::uint32_t imageBytes = 0;

  // The stream format: header and colour table.
  std::uint32_t FormatBytes() const { return headerBytes + colorTableBytes; }
  std::size_t PixelOffset() const { return FormatBytes(); }
};

// Reads the header of a packed bitmap. Only uncompressed 24-bit pictures are
// recorded; anything else, and a header whose image size disagrees with its
// rows (which would make a reader run past the rows), gives nothing.
std::optional<PackedBitmapInfo> ReadPackedBitmapInfo(const std::uint8_t* packed);
