// One encoder record for pictures of blue-green-red pixels: prepared once,
// kept from picture to picture (its tables stay built) and released on every
// way out. The still writer, the web server and the movie compressor all
// encode through it, so a saved still, a snapshot and a streamed frame of the
// same picture are the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "jpeg/bgr_picture.h"
#include "jpeg/jpeg.h"

// The quality of every still: saved files, snapshots and the stream.
inline constexpr std::int32_t kStillJpegQuality = 75;

class CBgrJpegEncoder {
 public:
  CBgrJpegEncoder();
  ~CBgrJpegEncoder();
  CBgrJpegEncoder(const CBgrJpegEncoder&) = delete;
  CBgrJpegEncoder& operator=(const CBgrJpegEncoder&) = delete;

  // False when JpegInit failed; every encode then answers JpegErrInvalidEncoder.
  bool Ready() const { return m_ready; }

  // Creates, writes and closes the file by name. 0 or a negative JpegResult.
  std::int32_t EncodeToFile(const BgrPicture& picture, std::int32_t quality, const char* path);

  // Writes the file into `buffer` from its start and sets `produced` to its
  // size. A buffer that turns out too small is doubled once and the picture
  // encoded again; the buffer keeps its size for the next call.
  std::int32_t EncodeToBuffer(const BgrPicture& picture, std::int32_t quality, std::vector<std::uint8_t>& buffer,
                              std::int32_t& produced);

 private:
  std::int32_t EncodeOnce(const BgrPicture& picture, std::int32_t quality, std::vector<std::uint8_t>& buffer,
                          std::int32_t& produced);

  JPEG_PROPERTIES m_props{};
  bool m_ready = false;
};
