// Pictures for the live-view tests: every pixel different, so a row in the
// wrong place or swapped channels show.
#pragma once

#include <cstdint>
#include <vector>

#include <QColor>

// Blue, green, red of pixel (x, y) in picture number `seed`.
inline void PatternPixel(int seed, int x, int y, std::uint8_t bgr[3]) {
  bgr[0] = static_cast<std::uint8_t>(x * 7 + seed);
  bgr[1] = static_cast<std::uint8_t>(y * 13 + seed * 3);
  bgr[2] = static_cast<std::uint8_t>((x ^ y) + seed * 5);
}

inline QColor PatternColor(int seed, int x, int y) {
  std::uint8_t bgr[3];
  PatternPixel(seed, x, y, bgr);
  return QColor(bgr[2], bgr[1], bgr[0]);
}

// Top-down rows, 3 bytes a pixel, no padding.
inline std::vector<std::uint8_t> PatternPicture(int seed, int width, int height) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) PatternPixel(seed, x, y, &bytes[(static_cast<std::size_t>(y) * width + x) * 3]);
  return bytes;
}
