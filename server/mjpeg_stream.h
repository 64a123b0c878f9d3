// One viewer's multipart JPEG stream: hands out the bytes of the newest
// frame part by part, as the connection asks for them, and waits for the
// next frame only when the last one is fully written. While no new frame
// comes (the picture is frozen), the held one is sent again once a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "server/frame_hub.h"

namespace server {

inline constexpr const char* kStreamBoundary = "tavrocamframe";

class CMjpegStream {
 public:
  static constexpr std::chrono::milliseconds kRepeatHeld{1000};

  // Counts as a viewer of `hub` while it exists.
  explicit CMjpegStream(CFrameHub& hub);
  ~CMjpegStream();
  CMjpegStream(const CMjpegStream&) = delete;
  CMjpegStream& operator=(const CMjpegStream&) = delete;

  // Fills up to `capacity` bytes; 0 or more is the count, -1 ends the stream
  // (the server is stopping). Blocks at most about kRepeatHeld.
  long Read(char* out, std::size_t capacity);

  std::uint64_t FramesSent() const { return m_framesSent; }

 private:
  bool NextPart();

  CFrameHub& m_hub;
  // The first part is this picture or a newer one: the hub's newest JPEG may
  // have been encoded long ago for an earlier viewer.
  std::uint64_t m_firstAfter = 0;
  std::shared_ptr<const EncodedFrame> m_frame;
  std::string m_head;        // boundary and part headers of m_frame
  std::size_t m_offset = 0;  // into head + jpeg + "\r\n"
  std::uint64_t m_framesSent = 0;
};

}  // namespace server
