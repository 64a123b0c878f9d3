// One viewer's live H.264 stream: the initialisation segment, then the
// fragments the feed picks for it, byte by byte as the connection asks. A
// new initialisation segment goes out whenever the picture's size changed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "broadcast/live_h264_feed.h"

namespace server {

class CMp4Stream {
 public:
  static constexpr std::chrono::milliseconds kWait{1000};

  // Counts as a viewer of `feed` while it exists.
  explicit CMp4Stream(CLiveH264Feed& feed);
  ~CMp4Stream();
  CMp4Stream(const CMp4Stream&) = delete;
  CMp4Stream& operator=(const CMp4Stream&) = delete;

  // Fills up to `capacity` bytes; 0 or more is the count, -1 ends the
  // stream (the server is stopping). Blocks at most about kWait.
  long Read(char* out, std::size_t capacity);

  std::uint64_t FragmentsSent() const { return m_sent; }
  // Fragments passed over because this viewer was too far behind.
  std::uint64_t FragmentsSkipped() const { return m_skipped; }

 private:
  CLiveH264Feed& m_feed;
  std::uint64_t m_after = 0;
  bool m_started = false;
  std::uint64_t m_generation = 0;
  std::shared_ptr<const Mp4Fragment> m_fragment;
  bool m_sendInit = false;
  std::size_t m_offset = 0;  // into init (when sent) + fragment
  std::uint64_t m_sent = 0;
  std::uint64_t m_skipped = 0;
};

}  // namespace server
