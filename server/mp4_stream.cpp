#include "server/mp4_stream.h"

namespace server {

CMp4Stream::CMp4Stream(CLiveH264Feed& feed) : CViewerStream(feed), m_after(m_joinedAt) {}

bool CMp4Stream::NextPart() {
  auto next = m_source.WaitNext(m_after, m_started, kWait);
  if (m_source.ViewersEnded()) return false;
  if (!next) return true;
  if (m_started && next->sequence > m_after + 1) m_skipped += next->sequence - m_after - 1;
  m_fragment = std::move(next);
  m_after = m_fragment->sequence;
  m_started = true;
  const bool sendInit = m_fragment->init->generation != m_generation;
  m_generation = m_fragment->init->generation;
  StartPart({sendInit ? Piece(m_fragment->init->bytes) : Piece(), m_fragment->bytes});
  return true;
}

}  // namespace server
