#include "natural_picture.h"

#include <algorithm>
#include <cmath>

namespace {

// Small, fast and the same everywhere.
struct Lcg {
  std::uint32_t state;
  int Noise() {
    state = state * 1664525u + 1013904223u;
    const int a = static_cast<int>((state >> 24) & 7);
    const int b = static_cast<int>((state >> 16) & 7);
    return a + b - 7;  // -7..7, peaked at 0
  }
};

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0)); }

}  // namespace

std::vector<std::uint8_t> NaturalPicture(int width, int height) {
  std::vector<std::uint8_t> bgr(static_cast<std::size_t>(width) * height * 3);
  Lcg rng{12345u};
  const double sx = 640.0 / width;  // the same scene at every size
  const double sy = 480.0 / height;
  for (int y = 0; y < height; ++y) {
    const double fy = y * sy;
    for (int x = 0; x < width; ++x) {
      const double fx = x * sx;
      // Sky-to-ground gradient.
      double r = 90 + 100 * fy / 480.0;
      double g = 140 + 40 * std::sin(fx / 150.0);
      double b = 210 - 120 * fy / 480.0;
      // Foliage-like texture in the lower half.
      if (fy > 260) {
        const double t = 18 * std::sin(fx * 0.9) * std::cos(fy * 0.7) + 10 * std::sin((fx + fy) * 0.23);
        r = 60 + t;
        g = 110 + 1.3 * t + 30 * std::sin(fx / 90.0);
        b = 40 + 0.5 * t;
      }
      // A building and a disc: hard edges.
      if (fx > 380 && fx < 520 && fy > 120 && fy < 300) {
        const bool window = (static_cast<int>(fx) % 20 < 10) && (static_cast<int>(fy) % 24 < 12);
        r = window ? 230 : 150;
        g = window ? 220 : 120;
        b = window ? 150 : 100;
      }
      const double dx = fx - 150, dy = fy - 110;
      if (dx * dx + dy * dy < 45 * 45) {
        r = 250;
        g = 235;
        b = 180;
      }
      std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
      p[0] = Clamp(b + rng.Noise());
      p[1] = Clamp(g + rng.Noise());
      p[2] = Clamp(r + rng.Noise());
    }
  }
  return bgr;
}
