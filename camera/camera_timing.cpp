#include <algorithm>
#include <cmath>

#include "camera/usb_camera.h"

std::uint32_t CameraTiming::Ms(std::uint32_t productMs) const {
  if (productMs == 0) return 0;
  const double scaled = std::round(static_cast<double>(productMs) * std::max(scale, 0.0));
  // A pause or time-out that shrank to nothing would turn every wait into a poll.
  if (scaled < 1.0) return 1;
  if (scaled >= 4.0e9) return 4000000000u;
  return static_cast<std::uint32_t>(scaled);
}
