// The simulated camera's own test page at 1024 x 768, with its moving
// element in a few places: the pictures the movie and push benchmarks feed.
#pragma once

#include <vector>

#include "sim/picture_renderer.h"

namespace bench {

// `count` distinct pictures, cycled by the caller; empty (with a line on
// stderr naming `program`) when the renderer does not make 1024 x 768.
std::vector<sim::Picture> RenderTestPages(int count, const char* program);

}  // namespace bench
