#include "server/mjpeg_stream.h"

#include <algorithm>
#include <cstring>

namespace server {

namespace {
constexpr std::string_view kPartEnd = "\r\n";
}

CMjpegStream::CMjpegStream(CFrameHub& hub) : m_hub(hub) {
  const std::uint64_t newest = m_hub.AddViewer();
  m_firstAfter = newest > 0 ? newest - 1 : 0;
}

CMjpegStream::~CMjpegStream() { m_hub.RemoveViewer(); }

bool CMjpegStream::NextPart() {
  const std::uint64_t after = m_frame ? m_frame->number : m_firstAfter;
  auto frame = m_hub.WaitNewer(after, kRepeatHeld);
  if (m_hub.Stopping()) return false;
  // Nothing new within a second: the held picture goes out again, or, before
  // the first part, nothing yet (an older picture never starts a stream).
  if (!frame || (!m_frame && frame->number <= after)) return true;
  m_frame = std::move(frame);
  m_head = std::string("--") + kStreamBoundary +
           "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(m_frame->jpeg.size()) + "\r\n\r\n";
  m_offset = 0;
  return true;
}

long CMjpegStream::Read(char* out, std::size_t capacity) {
  const auto partBytes = [this] { return m_frame ? m_head.size() + m_frame->jpeg.size() + kPartEnd.size() : 0; };
  if (!m_frame || m_offset >= partBytes()) {
    if (!NextPart()) return -1;
    if (!m_frame || m_offset >= partBytes()) return 0;
  }
  std::size_t written = 0;
  const auto copy = [&](const char* data, std::size_t size, std::size_t start) {
    // `start` is where this piece begins within the part.
    if (m_offset >= start + size || written == capacity) return;
    const std::size_t from = m_offset - start;
    const std::size_t n = std::min(size - from, capacity - written);
    std::memcpy(out + written, data + from, n);
    written += n;
    m_offset += n;
  };
  const std::size_t headEnd = m_head.size();
  const std::size_t jpegEnd = headEnd + m_frame->jpeg.size();
  copy(m_head.data(), m_head.size(), 0);
  copy(reinterpret_cast<const char*>(m_frame->jpeg.data()), m_frame->jpeg.size(), headEnd);
  copy(kPartEnd.data(), kPartEnd.size(), jpegEnd);
  if (m_offset >= partBytes()) ++m_framesSent;
  return static_cast<long>(written);
}

}  // namespace server
