#include "camera/frame_layout.h"

#include <array>

namespace camera {

namespace {

// Mode 5's frame does not split into four equal shares; the camera's readers
// ask for 91,200 bytes at high speed and 1,406 chunks at full speed.
constexpr std::array<FrameLayout, 6> kLayouts{{
    {0, 640, 480, 14400, 230400, 230400},
    {1, 800, 600, 22500, 360000, 360000},
    {2, 1024, 768, 36864, 589824, 589824},
    {4, 320, 240, 3600, 57600, 57600},
    {5, 400, 300, 5625, 91200, 89984},
    {6, 512, 384, 9216, 147456, 147456},
}};

}  // namespace

const FrameLayout* FindFrameLayout(int mode) {
  for (const FrameLayout& layout : kLayouts) {
    if (layout.mode == mode) return &layout;
  }
  return nullptr;
}

FrameWaitLimits FrameWaitLimitsFor(bool highSpeed) {
  return highSpeed ? FrameWaitLimits{4000, 3000} : FrameWaitLimits{8000, 4000};
}

}  // namespace camera
