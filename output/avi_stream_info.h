// The description of the movie's one video stream, as the AVI stream header
// carries it.
#pragma once

#include <array>
#include <cstdint>

#include "output/avi_bitmap_info.h"

struct AviRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct AviStreamInfo {
  std::array<char, 4> type{};  // "vids" for video
  std::uint32_t handler = 0;
  std::uint32_t scale = 0;  // rate / scale samples per second
  std::uint32_t rate = 0;
  std::uint32_t suggestedBufferSize = 0;
  AviRect frame;
};

// 15 positions a second, sized by the first frame.
inline AviStreamInfo VideoStreamInfoFor(const PackedBitmapInfo& first) {
  AviStreamInfo info;
  info.type = {'v', 'i', 'd', 's'};
  info.scale = 1;
  info.rate = 15;
  info.suggestedBufferSize = first.imageBytes;
  info.frame = {0, 0, first.width, first.height};
  return info;
}
