#include "liveview/frame_taps.h"

#include <algorithm>

void CFrameTaps::Add(IFrameTap& tap) {
  std::lock_guard guard(m_lock);
  if (std::find(m_taps.begin(), m_taps.end(), &tap) == m_taps.end()) m_taps.push_back(&tap);
}

void CFrameTaps::Remove(IFrameTap& tap) {
  // Publish holds the lock while it calls the receivers, so once this
  // returns no call to `tap` is under way or can start.
  std::lock_guard guard(m_lock);
  std::erase(m_taps, &tap);
}

void CFrameTaps::Publish(ShownFrame frame) {
  std::lock_guard guard(m_lock);
  frame.number = ++m_published;
  for (IFrameTap* tap : m_taps) tap->OnShownFrame(frame);
}

bool CFrameTaps::Empty() const {
  std::lock_guard guard(m_lock);
  return m_taps.empty();
}
