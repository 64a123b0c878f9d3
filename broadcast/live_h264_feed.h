// The shown picture as live H.264 in fragmented MP4 for any number of
// network viewers: one encoder and one muxer, running only while someone
// watches, and a short window of finished fragments every viewer reads
// from. A viewer that falls behind skips to the newest key frame; nothing
// queues up for it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "broadcast/frame_queue.h"
#include "liveview/frame_taps.h"

struct LiveH264Settings {
  int bitrateKbit = 2000;
  int nominalFps = 15;
  int keyIntervalMs = 2000;
  // While the picture is frozen the held one is encoded again this often,
  // so that the players' clocks keep running.
  std::chrono::milliseconds repeatHeld{500};
  // Viewers joining within this of the last key frame they asked for share the next one.
  std::chrono::milliseconds keyRequestGap{1000};
  // A viewer further behind the newest fragment than this skips ahead.
  std::chrono::milliseconds maxBehind{1000};
  int encoderThreads = 1;
};

// The initialisation segment of one encoder run (its size fixed).
struct Mp4Init {
  std::uint64_t generation = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bytes;
};

struct Mp4Fragment {
  std::uint64_t sequence = 0;
  bool key = false;
  std::chrono::steady_clock::time_point captured;
  std::shared_ptr<const Mp4Init> init;
  std::vector<std::uint8_t> bytes;
};

class CLiveH264Feed final : public IFrameTap {
 public:
  explicit CLiveH264Feed(LiveH264Settings settings = {});
  ~CLiveH264Feed() override;
  CLiveH264Feed(const CLiveH264Feed&) = delete;
  CLiveH264Feed& operator=(const CLiveH264Feed&) = delete;

  void Start();
  // Wakes every waiting viewer and joins the encoding thread. Idempotent.
  void Stop();
  bool Stopping() const;

  // IFrameTap: copies the picture and returns.
  void OnShownFrame(const ShownFrame& frame) override;

  // A viewer joins: the encoder runs, and a key frame is asked for. Returns
  // the newest fragment's sequence number; the viewer starts after it.
  std::uint64_t AddViewer();
  void RemoveViewer();
  int Viewers() const;

  // The fragment a viewer that has sent `after` sends next, waiting up to
  // `timeout`: the following one, or, for a viewer just joined or too far
  // behind, the newest key frame. Null when nothing came in time or on Stop.
  std::shared_ptr<const Mp4Fragment> WaitNext(std::uint64_t after, bool started, std::chrono::milliseconds timeout);

  // Encoders opened since start, and whether one runs now (for tests and the state).
  std::uint64_t EncodersOpened() const;
  bool EncoderRunning() const;
  std::uint64_t FragmentsMade() const;
  // The bytes the window of fragments holds now.
  std::size_t WindowBytes() const;

 private:
  void Run();
  void Publish(std::shared_ptr<Mp4Fragment> fragment);
  std::shared_ptr<const Mp4Fragment> PickLocked(std::uint64_t after, bool started) const;

  const LiveH264Settings m_settings;
  CPushFrameQueue m_queue;
  mutable std::mutex m_lock;
  std::condition_variable m_fragmentReady;
  std::deque<std::shared_ptr<const Mp4Fragment>> m_window;
  std::size_t m_windowBytes = 0;
  std::uint64_t m_nextSequence = 1;
  int m_viewers = 0;
  bool m_keyWanted = false;
  bool m_stopping = false;
  bool m_running = false;
  std::uint64_t m_opened = 0;
  std::uint64_t m_made = 0;
  std::thread m_thread;
};
