// The push of the shown picture to a streaming server or a file: the H.264
// packets of a live feed (shared with the network viewers, or its own), a
// thread of its own that writes them, and a status anyone may read. The
// camera, the view, the viewers and the panel never wait for it.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "broadcast/h264_packet_queue.h"
#include "broadcast/held_h264_feed.h"
#include "broadcast/live_h264_feed.h"
#include "broadcast/push_state.h"
#include "broadcast/push_target.h"
#include "liveview/frame_taps.h"

struct PushSettings {
  std::string url;
  int bitrateKbit = 2500;  // enough for 1024x768 at the camera's rate
  int nominalFps = 15;
  int keyIntervalMs = 2000;
  // While the picture is frozen the last one goes out again this often, so
  // that servers do not drop a silent stream. With the other settings above,
  // the shared encoder's while the push runs.
  std::chrono::milliseconds keepAlive{500};
  std::chrono::seconds firstRetry{1};
  std::chrono::seconds longestRetry{30};
  std::chrono::milliseconds connectTimeout{10000};
  std::chrono::milliseconds writeTimeout{5000};
  int encoderThreads = 1;
};

class CBroadcastPush : public IFrameTap {
 private:
  struct Key {};

 public:
  // Starts the push thread; null with the reason when the URL can never work.
  // The push reports into `state` (its own when none is given), which its
  // owner may keep for readers that outlive the push. It takes its pictures
  // from `feed`, started and fed by its owner, or, when none is given, from
  // a feed of its own that OnShownFrame feeds.
  static std::unique_ptr<CBroadcastPush> Start(const PushSettings& settings, std::string& error,
                                               std::shared_ptr<CPushState> state = nullptr,
                                               std::shared_ptr<CLiveH264Feed> feed = nullptr);
  // Through Start() only (the key is private).
  CBroadcastPush(Key key, const PushSettings& settings, PushTarget target, std::shared_ptr<CPushState> state,
                 std::shared_ptr<CLiveH264Feed> feed);
  ~CBroadcastPush() override;
  CBroadcastPush(const CBroadcastPush&) = delete;
  CBroadcastPush& operator=(const CBroadcastPush&) = delete;

  // IFrameTap: hands the picture to the push's own feed; does nothing with
  // a shared one, which its owner feeds.
  void OnShownFrame(const ShownFrame& frame) override;

  // Ends the push: the last pictures out, the trailer written, the thread
  // joined. Safe to call twice.
  void Stop();

  PushStatus Status() const;
  const CPushState& State() const { return *m_state; }

 private:
  void Run();

  PushSettings m_settings;
  PushTarget m_target;
  CHeldH264Feed m_feed;
  CH264PacketQueue m_packets;
  std::shared_ptr<CPushState> m_state;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};
