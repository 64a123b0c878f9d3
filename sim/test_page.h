// The camera's test picture: a document-like page (title, lines of text, a
// grid, colour bars, an arrow to the top-left corner) that shows orientation
// and effects at a glance, and the two marks that change every frame (a frame
// counter and a ball running along a track) that show a live or frozen picture.
#pragma once

#include <cstdint>

#include "sim/drawing.h"
#include "sim/picture_effects.h"
#include "sim/sim_driver.h"

namespace sim {

struct PageContent {
  int width = 0;
  int height = 0;
  std::uint32_t seed = 1;
  bool externalInput = false;  // the external input shows full-frame colour bars instead of the page
  bool lamp = false;
  bool operator==(const PageContent&) const = default;
};

Picture RenderTestPage(const PageContent& content);

// The counter and the ball for one frame, in colours passed through the
// camera's colour stage. Draws the same pixels into any sink.
void DrawFrameMarks(PixelSink& sink, std::uint32_t seed, std::uint64_t frameNumber, const ColourTransform& colour);

}  // namespace sim
