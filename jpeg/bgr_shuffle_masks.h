// Byte-shuffle masks that split sixteen BGR pixels (48 bytes, three 16-byte
// pieces) into one register per channel, for the extraction kernels that
// have a byte shuffle (AVX2, AVX-512).
#pragma once

#include <array>
#include <cstdint>

namespace jpeg {

// kBgrShuffleMasks[c][s]: picks channel c (0 b, 1 g, 2 r) of the sixteen
// pixels out of piece s; 0x80 clears the bytes that lie in other pieces.
constexpr std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3> MakeBgrShuffleMasks() {
  std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3> masks{};
  for (int c = 0; c < 3; ++c) {
    for (int s = 0; s < 3; ++s) {
      for (int i = 0; i < 16; ++i) {
        const int index = 3 * i + c - 16 * s;
        masks[c][s][i] = (index >= 0 && index < 16) ? static_cast<std::uint8_t>(index) : 0x80;
      }
    }
  }
  return masks;
}

alignas(16) inline constexpr auto kBgrShuffleMasks = MakeBgrShuffleMasks();

}  // namespace jpeg
