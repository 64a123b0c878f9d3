// The camera's document scene: a page of prose in DejaVu Serif (a heading
// and body text) lying slightly turned and in perspective on a darker desk
// under uneven light, so scanning has a true input. Its words and corners
// are known.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "sim/sim_driver.h"

namespace sim {

// Where the page lies; 0 is where it starts, 1 to 4 are the places Preset
// Run 1 to 4 move it to.
constexpr int kDocumentPlaces = 5;

struct ScenePoint {
  double x = 0;
  double y = 0;
};

// The page's words in reading order, heading first.
const std::vector<std::string>& DocumentSceneWords();

// The page's corners in a picture of `width` x `height`, clockwise from the
// page's top-left. `place` is taken modulo kDocumentPlaces.
std::array<ScenePoint, 4> DocumentSceneCorners(int width, int height, int place);

// The scene; an empty picture when the typeface is missing.
Picture RenderDocumentScene(int width, int height, int place);

}  // namespace sim
