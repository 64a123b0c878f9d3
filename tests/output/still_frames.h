// Frames for the still and print tests, made through the frame bitmap's own
// operations as the live-view worker makes them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "liveview/frame_bitmap.h"

// A smooth picture that a JPEG keeps well, different in every row and column
// so a flipped or shifted picture shows.
inline void PaintGradient(CFrameBitmap& bitmap, int width, int height, int seed = 0) {
  ASSERT_TRUE(bitmap.Create(width, height, 24));
  std::uint8_t* p = bitmap.Pixels();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      *p++ = static_cast<std::uint8_t>(x * 255 / width);                // blue
      *p++ = static_cast<std::uint8_t>(y * 255 / height);               // green
      *p++ = static_cast<std::uint8_t>((x + 2 * y + seed * 40) % 256);  // red
    }
  }
  auto lock = bitmap.LockBuffers();
  bitmap.SyncToPackedBitmap();
}

// Noise: exact copies are the only way to match it.
inline void PaintNoise(CFrameBitmap& bitmap, int width, int height, std::uint32_t seed = 1) {
  ASSERT_TRUE(bitmap.Create(width, height, 24));
  std::uint8_t* p = bitmap.Pixels();
  for (int i = 0; i < width * height * 3; ++i) {
    seed = seed * 1664525u + 1013904223u;
    p[i] = static_cast<std::uint8_t>(seed >> 24);
  }
  auto lock = bitmap.LockBuffers();
  bitmap.SyncToPackedBitmap();
}

inline std::vector<std::uint8_t> PackedCopy(const CFrameBitmap& bitmap) {
  const std::uint8_t* packed = bitmap.PackedBitmap();
  return {packed, packed + bitmap.PackedBitmapBytes()};
}

// The frame as top-down RGB, the order the external tools print.
inline std::vector<std::uint8_t> TopDownRgb(const CFrameBitmap& bitmap) {
  const std::uint8_t* p = bitmap.Pixels();
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height() * 3);
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = p[i + 2];
    rgb[i + 1] = p[i + 1];
    rgb[i + 2] = p[i];
  }
  return rgb;
}
