// The picture as the still writers make it, in memory: a baseline JPEG at
// the still quality and sampling, and a BMP file of the packed bitmap.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jpeg/bgr_encoder.h"

namespace server {

// Top-down rows of blue-green-red pixels, as the live view shows them.
struct PictureView {
  int width = 0;
  int height = 0;
  int rowBytes = 0;
  std::span<const std::uint8_t> pixels;
};

// One encoder record, kept from frame to frame so its tables are prepared once.
class CStillJpegEncoder {
 public:
  // Replaces `out` with the JPEG file; false when the picture is malformed
  // or the encoder fails.
  bool Encode(const PictureView& picture, std::vector<std::uint8_t>& out);

 private:
  CBgrJpegEncoder m_encoder;
  std::vector<std::uint8_t> m_scratch;
};

// The BMP file the still writer would save for this picture; empty when it is malformed.
std::string BmpFileOf(const PictureView& picture);

}  // namespace server
