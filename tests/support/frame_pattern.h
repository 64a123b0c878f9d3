// Frames as the camera sends them, for tests: a picture whose every byte
// depends on its place, cut into the four pipes' streams, and the picture
// each orientation should deliver, worked out pixel by pixel.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace test_support {

struct SentFrame {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;                // rows top-down, 3 bytes a pixel, as sent
  std::array<std::vector<std::uint8_t>, 4> pipes;  // each pipe's bytes in the order sent
};

// `seed` tells frames apart.
SentFrame MakeSentFrame(int width, int height, std::uint32_t seed);

// Pixel (x, y) of the delivered frame is pixel (sx, sy) of the frame as sent.
std::vector<std::uint8_t> Oriented(const SentFrame& frame, int orientation);

}  // namespace test_support
