// Byte-shuffle tables for the vector kernels, for one 16-pixel lane. Each
// plane is shuffled once so that every byte sits where some output vector
// needs it (the three outputs take a plane at disjoint positions), then each
// output vector picks its positions from the three shuffled planes.
#pragma once

#include <cstdint>

namespace camera::kernels {

// Plain arrays, not std::array: this header is compiled with different
// instruction sets, and no out-of-line template copy built for one of them
// may end up called from code built for another.
using Lane = std::uint8_t[16];

struct LaneMasks {
  Lane gatherForward[3]{};  // per plane: which pixel's byte goes to position t
  Lane gatherReverse[3]{};  // the same with the lane's pixels taken last to first
  Lane select[3][3]{};      // [output vector][plane]: 0xFF where that plane's byte goes
};

// Output vector v (bytes 16v..16v+15 of the 48) holds at position t byte
// (16v + t) mod 3 of pixel (16v + t) / 3; since 16 = 1 mod 3 that byte is
// (v + t) mod 3.
constexpr LaneMasks MakeLaneMasks() {
  LaneMasks m{};
  for (int plane = 0; plane < 3; ++plane) {
    for (int t = 0; t < 16; ++t) {
      const int v = (plane - t % 3 + 3) % 3;
      const int pixel = (16 * v + t) / 3;
      m.gatherForward[plane][t] = static_cast<std::uint8_t>(pixel);
      m.gatherReverse[plane][t] = static_cast<std::uint8_t>(15 - pixel);
    }
  }
  for (int v = 0; v < 3; ++v) {
    for (int plane = 0; plane < 3; ++plane) {
      for (int t = 0; t < 16; ++t) m.select[v][plane][t] = (v + t) % 3 == plane ? 0xFF : 0x00;
    }
  }
  return m;
}

inline constexpr LaneMasks kLaneMasks = MakeLaneMasks();

}  // namespace camera::kernels
