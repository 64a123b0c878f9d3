#include "server/mjpeg_stream.h"

#include <string_view>

namespace server {

namespace {

constexpr std::string_view kPartEnd = "\r\n";

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

CMjpegStream::CMjpegStream(CFrameHub& hub) : CViewerStream(hub) {}

bool CMjpegStream::NextPart() {
  // The first part is the picture the viewer joined at or a newer one: the
  // hub's newest JPEG may have been encoded long ago for an earlier viewer.
  const std::uint64_t after = m_frame ? m_frame->number : (m_joinedAt > 0 ? m_joinedAt - 1 : 0);
  auto frame = m_source.WaitNewer(after, kRepeatHeld);
  if (m_source.Stopping()) return false;
  // Nothing new within a second: the held picture goes out again, or, before
  // the first part, nothing yet (an older picture never starts a stream).
  if (!frame || (!m_frame && frame->number <= after)) return true;
  m_frame = std::move(frame);
  m_head = std::string("--") + kStreamBoundary +
           "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(m_frame->jpeg.size()) + "\r\n\r\n";
  StartPart({BytesOf(m_head), m_frame->jpeg, BytesOf(kPartEnd)});
  return true;
}

}  // namespace server
