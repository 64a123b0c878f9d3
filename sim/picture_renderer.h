// Makes the frames the camera sends. The processed page (test page, zoom,
// focus, sharpness, effects, colour) depends only on the camera's settings, so
// it is built once per setting and kept already cut into the four pipes; a
// frame is then a copy of those pipes with the frame's marks written into them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/frame_layout.h"
#include "sim/picture_effects.h"
#include "sim/sim_driver.h"
#include "sim/test_page.h"

namespace sim {

// Everything the picture depends on besides the frame number, quantised so
// that equal settings make equal pictures.
struct RenderKey {
  int mode = 2;
  bool externalInput = false;
  bool lamp = false;
  int zoomQ = 256;     // magnification in 1/256 steps
  int blurRadius = 0;  // focus blur in pixels
  int sharpQ = 0;      // -64..64
  bool emboss = false;
  bool edge = false;
  ColourSettings colour;
  int documentPlace = -1;  // the document scene's place; -1: the test page
  bool operator==(const RenderKey&) const = default;
};

class PictureRenderer {
 public:
  explicit PictureRenderer(std::uint32_t seed) : m_seed(seed) {}

  // Writes one frame into the pipes' shares: each span is a pipe's share for
  // the mode and speed; what the chunk rule puts beyond a share is dropped and
  // a share longer than the chunk rule's is padded with zeros. False for a key
  // whose mode has no picture size.
  bool ProduceFrame(const RenderKey& key, std::uint64_t frameNumber, const PipeSpans& shares);

  // The same frame as a picture, for comparison.
  Picture RenderPicture(const RenderKey& key, std::uint64_t frameNumber);

 private:
  bool Prepare(const RenderKey& key);

  std::uint32_t m_seed;
  std::optional<RenderKey> m_key;
  ModeGeometry m_geometry;
  ColourTransform m_colour;
  Picture m_page;
  std::array<std::vector<std::uint8_t>, kPipeCount> m_pipes;
};

}  // namespace sim
