#include "frame_pattern.h"

namespace test_support {

SentFrame MakeSentFrame(int width, int height, std::uint32_t seed) {
  SentFrame f;
  f.width = width;
  f.height = height;
  const std::size_t pixelCount = static_cast<std::size_t>(width) * height;
  f.pixels.resize(pixelCount * 3);
  for (std::size_t i = 0; i < f.pixels.size(); ++i) {
    std::uint32_t x = static_cast<std::uint32_t>(i) * 2654435761u ^ (seed * 0x9E3779B9u);
    x ^= x >> 15;
    x *= 0x85EBCA6Bu;
    x ^= x >> 13;
    f.pixels[i] = static_cast<std::uint8_t>(x >> 24);
  }
  // Chunk 3j carries the third byte of pixels 64j..64j+63, chunk 3j+1 the
  // second, chunk 3j+2 the first; chunk k goes to pipe k mod 4.
  const std::size_t chunks = pixelCount * 3 / 64;
  for (std::size_t k = 0; k < chunks; ++k) {
    const std::size_t triple = k / 3;
    const std::size_t byteInPixel = 2 - k % 3;
    auto& pipe = f.pipes[k % 4];
    for (std::size_t i = 0; i < 64; ++i) pipe.push_back(f.pixels[3 * (64 * triple + i) + byteInPixel]);
  }
  return f;
}

std::vector<std::uint8_t> Oriented(const SentFrame& frame, int orientation) {
  const bool mirror = orientation == 1 || orientation == 3;
  const bool flip = orientation == 2 || orientation == 3;
  std::vector<std::uint8_t> out(frame.pixels.size());
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const int sx = mirror ? frame.width - 1 - x : x;
      const int sy = flip ? frame.height - 1 - y : y;
      for (int c = 0; c < 3; ++c) {
        out[3 * (static_cast<std::size_t>(y) * frame.width + x) + c] =
            frame.pixels[3 * (static_cast<std::size_t>(sy) * frame.width + sx) + c];
      }
    }
  }
  return out;
}

}  // namespace test_support
