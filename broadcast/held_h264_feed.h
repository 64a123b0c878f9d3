// A live H.264 feed as the push and the web server hold it: the one their
// owner shares with them, or, when it shares none, one of their own, which
// they alone start, feed and stop. A shared feed belongs to its owner.
#pragma once

#include <memory>
#include <utility>

#include "broadcast/live_h264_feed.h"

class CHeldH264Feed {
 public:
  // Holds `shared`, or, when that is null, a new feed with `own`, started.
  void Hold(std::shared_ptr<CLiveH264Feed> shared, const LiveH264Settings& own = {}) {
    m_feed = std::move(shared);
    m_own = m_feed == nullptr;
    if (!m_own) return;
    m_feed = std::make_shared<CLiveH264Feed>(own);
    m_feed->Start();
  }
  // Stops the feed when it is the holder's own; a shared one goes on.
  void StopOwn() {
    if (m_own) m_feed->Stop();
  }

  bool Own() const { return m_own; }
  explicit operator bool() const { return m_feed != nullptr; }
  CLiveH264Feed& operator*() const { return *m_feed; }
  CLiveH264Feed* operator->() const { return m_feed.get(); }

 private:
  std::shared_ptr<CLiveH264Feed> m_feed;
  bool m_own = false;
};
