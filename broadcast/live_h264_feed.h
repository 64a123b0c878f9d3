// The shown picture as live H.264, encoded once for everyone who takes it:
// any number of network viewers as fragmented MP4 (one muxer, a short
// window of finished fragments every viewer reads from; a viewer that falls
// behind skips to the newest key frame, nothing queues up for it), and the
// broadcast push as the encoded packets themselves. The encoder runs only
// while someone takes its pictures; with the push attached it runs with
// the push's settings, so that the push is what it would be on its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "broadcast/frame_queue.h"
#include "broadcast/h264_packet_queue.h"
#include "broadcast/stoppable_thread.h"
#include "liveview/frame_taps.h"
#include "platform/change_signal.h"

struct AVPacket;

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

  // IFrameTap: copies the picture and returns.
  void OnShownFrame(const ShownFrame& frame) override;

  // A viewer joins: the encoder runs, and a key frame is asked for. Returns
  // the newest fragment's sequence number; the viewer starts after it.
  std::uint64_t AddViewer();
  void RemoveViewer();
  int Viewers() const;
  // Ends the viewers' side for good: waiting viewers wake and end their
  // streams, while the encoder goes on for an attached push.
  void EndViewers();
  bool ViewersEnded() const;

  // The push's packets: while `queue` is attached and wants them, the
  // encoder runs for it with its choice of settings (a change reopens the
  // encoder, which the viewers follow as a new initialisation segment).
  // One queue at a time; once Detach returns the feed never touches it again.
  void AttachPackets(CH264PacketQueue& queue);
  void DetachPackets(CH264PacketQueue& queue);
  // Pictures that never reached the encoder: a newer one came first.
  std::uint64_t PicturesDropped() const { return m_queue.Dropped(); }

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
  void HandToPush(const AVPacket& packet, bool key, const std::shared_ptr<const H264Stream>& stream);
  std::shared_ptr<const Mp4Fragment> PickLocked(std::uint64_t after, bool started) const;
  // Who takes the pictures now, and the settings they want.
  bool WantedLocked() const;
  H264Choice ChoiceLocked() const;

  const LiveH264Settings m_settings;
  CPushFrameQueue m_queue;
  // Viewers look at the window together under the shared side; changes take it alone.
  mutable std::shared_mutex m_lock;
  CChangeSignal m_fragmentReady;
  std::deque<std::shared_ptr<const Mp4Fragment>> m_window;
  std::size_t m_windowBytes = 0;
  std::uint64_t m_nextSequence = 1;
  int m_viewers = 0;
  bool m_keyWanted = false;
  bool m_viewersEnded = false;
  CH264PacketQueue* m_pPackets = nullptr;
  bool m_running = false;
  std::uint64_t m_opened = 0;
  std::uint64_t m_made = 0;
  CStoppableThread m_thread;
};
