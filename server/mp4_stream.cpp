#include "server/mp4_stream.h"

#include <algorithm>
#include <cstring>

namespace server {

CMp4Stream::CMp4Stream(CLiveH264Feed& feed) : m_feed(feed) { m_after = m_feed.AddViewer(); }

CMp4Stream::~CMp4Stream() { m_feed.RemoveViewer(); }

long CMp4Stream::Read(char* out, std::size_t capacity) {
  const auto total = [this] {
    if (!m_fragment) return std::size_t{0};
    return (m_sendInit ? m_fragment->init->bytes.size() : 0) + m_fragment->bytes.size();
  };
  if (!m_fragment || m_offset >= total()) {
    auto next = m_feed.WaitNext(m_after, m_started, kWait);
    if (m_feed.ViewersEnded()) return -1;
    if (!next) return 0;
    if (m_started && next->sequence > m_after + 1) m_skipped += next->sequence - m_after - 1;
    m_fragment = std::move(next);
    m_after = m_fragment->sequence;
    m_started = true;
    m_sendInit = m_fragment->init->generation != m_generation;
    m_generation = m_fragment->init->generation;
    m_offset = 0;
  }
  std::size_t written = 0;
  const auto copy = [&](const std::vector<std::uint8_t>& piece, std::size_t start) {
    if (m_offset >= start + piece.size() || written == capacity) return;
    const std::size_t from = m_offset - start;
    const std::size_t n = std::min(piece.size() - from, capacity - written);
    std::memcpy(out + written, piece.data() + from, n);
    written += n;
    m_offset += n;
  };
  std::size_t start = 0;
  if (m_sendInit) {
    copy(m_fragment->init->bytes, 0);
    start = m_fragment->init->bytes.size();
  }
  copy(m_fragment->bytes, start);
  if (m_offset >= total()) ++m_sent;
  return static_cast<long>(written);
}

}  // namespace server
