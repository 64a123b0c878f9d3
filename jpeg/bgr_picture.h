// The description every writer of ours gives the encoder: a picture of
// 3-byte pixels (blue, green, red), written as a 4:2:0 YCbCr JPEG of its
// own size.
#pragma once

#include <cstdint>

#include "jpeg/jpeg.h"

struct BgrPicture {
  const std::uint8_t* pixels = nullptr;  // first byte of the first row in memory
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t rowPad = 0;  // bytes after each row's pixels
  bool bottomUp = false;    // the first row in memory is the picture's last
};

// Fills the record's source and frame fields; leaves the output (file name
// or buffer) and everything else as it is.
void DescribeBgrPicture(JPEG_PROPERTIES& props, const BgrPicture& picture, std::int32_t quality);
