// The camera's picture processing: optical zoom about the centre, focus blur,
// sharpness, the emboss and edge effects, and the per-pixel colour stage
// (white balance gains, colour off, brightness, lamp, negative).
#pragma once

#include <array>
#include <cstdint>

#include "sim/drawing.h"
#include "sim/sim_driver.h"

namespace sim {

// Magnification in 1/256 steps (256 = none), nearest pixel, about the centre.
Picture ZoomAboutCentre(const Picture& in, int zoomQ);
// Box blur of the given radius, horizontal then vertical.
void BoxBlur(Picture& picture, int radius);
// Sharpness in 1/64 steps: positive sharpens (unsharp mask), negative softens.
void AdjustSharpness(Picture& picture, int sharpQ);
// Grey relief: light from the top-left.
void Emboss(Picture& picture);
// Bright outlines on black.
void EdgeDetect(Picture& picture);

struct ColourSettings {
  int redGainQ = 64;  // 1/64 steps
  int blueGainQ = 64;
  int brightQ = 0;  // -64..64: up to 96 levels darker or lighter
  bool lamp = false;
  bool color = true;
  bool negative = false;
  bool operator==(const ColourSettings&) const = default;
};

// The colour stage as tables, so that the page and the per-frame marks pass
// through exactly the same arithmetic.
class ColourTransform {
 public:
  explicit ColourTransform(const ColourSettings& settings = {});
  Rgb Apply(Rgb in) const;
  void ApplyTo(Picture& picture) const;

 private:
  bool m_color;
  std::array<std::uint8_t, 256> m_red{};
  std::array<std::uint8_t, 256> m_blue{};
  std::array<std::uint8_t, 256> m_level{};  // brightness, lamp and negative
};

}  // namespace sim
