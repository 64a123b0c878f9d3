// One viewer's multipart JPEG stream: hands out the bytes of the newest
// frame part by part, as the connection asks for them, and waits for the
// next frame only when the last one is fully written. While no new frame
// comes (the picture is frozen), the held one is sent again once a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "server/frame_hub.h"
#include "server/viewer_stream.h"

namespace server {

inline constexpr const char* kStreamBoundary = "tavrocamframe";

class CMjpegStream final : public CViewerStream<CFrameHub> {
 public:
  // Read blocks at most about this long.
  static constexpr std::chrono::milliseconds kRepeatHeld{1000};

  // Counts as a viewer of `hub` while it exists.
  explicit CMjpegStream(CFrameHub& hub);

  std::uint64_t FramesSent() const { return PartsSent(); }

 private:
  bool NextPart() override;

  std::shared_ptr<const EncodedFrame> m_frame;
  std::string m_head;  // boundary and part headers of m_frame
};

}  // namespace server
