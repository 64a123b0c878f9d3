// The pictures the network viewers see. The live-view worker hands each new
// picture in (a copy, then it returns); one thread of the server encodes the
// newest one to JPEG, once, however many viewers there are, and every viewer
// takes the newest finished frame. A viewer that falls behind skips frames;
// nothing queues up for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "broadcast/stoppable_thread.h"
#include "liveview/frame_taps.h"
#include "server/still_encoding.h"

namespace server {

struct RawPicture {
  std::uint64_t number = 0;
  int width = 0;
  int height = 0;
  int rowBytes = 0;
  std::chrono::steady_clock::time_point captured;
  std::vector<std::uint8_t> pixels;

  PictureView View() const { return {width, height, rowBytes, pixels}; }
};

struct EncodedFrame {
  std::uint64_t number = 0;
  int width = 0;
  int height = 0;
  std::chrono::steady_clock::time_point captured;
  std::vector<std::uint8_t> jpeg;
};

struct PictureRate {
  std::uint64_t frames = 0;  // pictures shown since start
  int fps = 0;               // in the last second
  int width = 0;
  int height = 0;
};

class CFrameHub final : public IFrameTap {
 public:
  CFrameHub();
  ~CFrameHub() override;
  CFrameHub(const CFrameHub&) = delete;
  CFrameHub& operator=(const CFrameHub&) = delete;

  // Starts the encoding thread.
  void Start();
  // Wakes every waiting viewer and joins the encoding thread; later waits
  // return at once. Idempotent.
  void Stop();
  bool Stopping() const;

  // The worker's call: copies the picture and returns.
  void OnShownFrame(const ShownFrame& frame) override;

  // Viewers count while they are connected; frames are encoded only while
  // one is, or when a snapshot asks. AddViewer returns the number of the
  // newest picture (0 before the first), the one a new viewer starts from.
  std::uint64_t AddViewer();
  void RemoveViewer();

  // The newest encoded frame newer than `after`, waiting up to `timeout` for
  // one; after the time-out (or on Stop) the newest there is, which may be
  // the one the caller has, or null before the first picture.
  std::shared_ptr<const EncodedFrame> WaitNewer(std::uint64_t after, std::chrono::milliseconds timeout);

  std::optional<std::string> SnapshotJpeg();
  std::optional<std::string> SnapshotBmp();
  PictureRate Rate() const;

  // How many frames the encoding thread has encoded (for the benchmarks and tests).
  std::uint64_t EncodedCount() const;

 private:
  // A picture buffer and how many threads are reading (or writing) it; a
  // buffer is reused only when nobody holds it and it is not the newest.
  struct Slot {
    RawPicture picture;
    int holders = 0;
  };
  // Holds the newest picture for reading outside the lock.
  class Lease {
   public:
    Lease(CFrameHub& hub, Slot* slot);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    const RawPicture* operator->() const { return &m_slot->picture; }
    explicit operator bool() const { return m_slot != nullptr; }

   private:
    CFrameHub& m_hub;
    Slot* m_slot;
  };
  // Call with the lock held.
  Slot* FreeSlot();
  Lease LeaseLatest();  // takes the lock

  void EncodeLoop();

  mutable std::mutex m_lock;
  std::condition_variable m_wakeEncoder;
  std::condition_variable m_frameReady;
  bool m_encodePending = false;
  int m_viewers = 0;
  std::vector<std::unique_ptr<Slot>> m_slots;
  Slot* m_latestRaw = nullptr;
  std::shared_ptr<const EncodedFrame> m_latestJpeg;
  std::deque<std::chrono::steady_clock::time_point> m_recent;  // arrivals in the last second
  std::uint64_t m_encoded = 0;
  CStoppableThread m_encoder;
};

}  // namespace server
