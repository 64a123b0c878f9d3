// One viewer's live H.264 stream: the initialisation segment, then the
// fragments the feed picks for it, byte by byte as the connection asks. A
// new initialisation segment goes out whenever the picture's size changed.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "broadcast/live_h264_feed.h"
#include "server/viewer_stream.h"

namespace server {

class CMp4Stream final : public CViewerStream<CLiveH264Feed> {
 public:
  // Read blocks at most about this long.
  static constexpr std::chrono::milliseconds kWait{1000};

  // Counts as a viewer of `feed` while it exists.
  explicit CMp4Stream(CLiveH264Feed& feed);

  std::uint64_t FragmentsSent() const { return PartsSent(); }
  // Fragments passed over because this viewer was too far behind.
  std::uint64_t FragmentsSkipped() const { return m_skipped; }

 private:
  bool NextPart() override;

  std::uint64_t m_after = 0;
  bool m_started = false;
  std::uint64_t m_generation = 0;
  std::shared_ptr<const Mp4Fragment> m_fragment;
  std::uint64_t m_skipped = 0;
};

}  // namespace server
