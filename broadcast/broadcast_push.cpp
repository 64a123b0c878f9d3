#include "broadcast/broadcast_push.h"

#include <algorithm>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "broadcast/h264_encoder.h"
#include "broadcast/push_output.h"

namespace {

using Clock = std::chrono::steady_clock;

// The push thread's working state for one run: the newest picture, the
// encoder and the connection, and the clock that turns capture times into
// presentation times.
class PushLoop {
 public:
  PushLoop(const PushSettings& settings, const PushTarget& target, CPushFrameQueue& queue, CPushState& state,
           const std::atomic<bool>& stop)
      : m_settings(settings), m_target(target), m_queue(queue), m_state(state), m_stop(stop), m_output(target, stop) {}

  void Run() {
    auto backoff = m_settings.firstRetry;
    while (!m_stop.load() && !m_failed) {
      if (!m_havePicture) {
        m_havePicture = m_queue.PopUntil(Clock::now() + std::chrono::milliseconds(200), m_picture);
        continue;
      }
      if (!m_output.IsOpen()) {
        const PushOpenResult opened = Connect();
        if (opened.ok) {
          backoff = m_settings.firstRetry;
          m_everLive = true;
        } else if (m_stop.load()) {
          break;
        } else if (opened.permanent && !m_everLive) {
          // One message that stays, no loop: the URL will not work as given.
          m_state.Update([&](PushStatus& s) {
            s.phase = PushPhase::Failed;
            s.lastError = opened.error;
          });
          m_encoder.Close();
          return;
        } else {
          WaitToRetry(backoff, opened.error);
          backoff = std::min(backoff * 2, m_settings.longestRetry);
          continue;
        }
        // The connection starts with the picture we hold, as a key frame.
        if (!Send(m_picture.captured)) continue;
      }
      const Clock::time_point keepAliveAt = m_lastSent + m_settings.keepAlive;
      if (m_queue.PopUntil(keepAliveAt, m_picture)) {
        Send(m_picture.captured);
      } else if (!m_stop.load() && Clock::now() >= keepAliveAt) {
        // Frozen: the same picture again, stamped now.
        Send(Clock::now());
      }
    }
    Finish();
  }

 private:
  PushOpenResult Connect() {
    m_state.Update([&](PushStatus& s) {
      s.phase = PushPhase::Connecting;
      s.target = m_target.display;
    });
    if (std::string error = OpenEncoder(); !error.empty()) return {false, true, error};
    PushOpenResult opened = m_output.Open(*m_encoder.Context(), m_settings.connectTimeout);
    if (!opened.ok) return opened;
    // Presentation times of this connection count from its first picture.
    m_epoch = m_picture.captured;
    m_lastPts = -1;
    m_state.Update([&](PushStatus& s) {
      s.phase = PushPhase::Live;
      s.retryInSeconds = 0;
      s.width = m_encoder.Width();
      s.height = m_encoder.Height();
    });
    return opened;
  }

  std::string OpenEncoder() {
    H264Settings settings;
    settings.width = m_picture.width;
    settings.height = m_picture.height;
    settings.bitrateKbit = m_settings.bitrateKbit;
    settings.nominalFps = m_settings.nominalFps;
    settings.keyIntervalMs = m_settings.keyIntervalMs;
    settings.globalHeader = m_output.WantsGlobalHeader();
    settings.threads = m_settings.encoderThreads;
    return m_encoder.Open(settings);
  }

  // Encodes the held picture at `when` and writes what comes out. False
  // when the connection went (the state says so and the loop reconnects).
  bool Send(Clock::time_point when) {
    if (m_picture.width != m_encoder.Width() || m_picture.height != m_encoder.Height()) {
      if (!Resize()) return false;
    }
    std::int64_t pts = std::chrono::duration_cast<std::chrono::milliseconds>(when - m_epoch).count();
    pts = std::max(pts, m_lastPts + 1);
    m_lastPts = pts;
    std::string error;
    const bool sent = m_encoder.Encode(m_picture.pixels, m_picture.rowBytes, pts, Writer(error), error);
    m_lastSent = Clock::now();
    if (!sent) {
      Lost(error);
      return false;
    }
    m_state.Update([&](PushStatus& s) {
      ++s.framesSent;
      s.framesDropped = m_queue.Dropped();
    });
    return true;
  }

  // A new picture size: a new encoder on the same connection, starting with
  // a key frame and, where the container keeps it apart, a new stream header.
  bool Resize() {
    std::string error;
    if (!m_encoder.Flush(Writer(error), error)) {
      Lost(error);
      return false;
    }
    if (error = OpenEncoder(); !error.empty()) {
      Lost(error);
      return false;
    }
    m_output.AnnounceNewHeader(*m_encoder.Context());
    m_state.Update([&](PushStatus& s) {
      s.width = m_encoder.Width();
      s.height = m_encoder.Height();
    });
    return true;
  }

  CH264Encoder::PacketSink Writer(std::string& error) {
    return [this, &error](AVPacket& packet) {
      // The encoder does not know when the next picture comes; the camera's
      // usual rate gives the last picture of a file a length.
      if (packet.duration <= 0) packet.duration = 1000 / std::max(1, m_settings.nominalFps);
      return m_output.Write(packet, m_settings.writeTimeout, error);
    };
  }

  void Lost(const std::string& error) {
    m_output.Close(m_target.kind == PushKind::File);
    m_encoder.Close();
    if (m_stop.load()) return;
    if (m_target.kind == PushKind::File) {
      // A file that cannot be written to will not get better by waiting.
      m_state.Update([&](PushStatus& s) {
        s.phase = PushPhase::Failed;
        s.lastError = error;
      });
      m_failed = true;
      return;
    }
    m_state.Update([&](PushStatus& s) {
      s.phase = PushPhase::Retrying;
      s.lastError = error;
    });
  }

  // Waits out the back-off while keeping the newest picture, so that the
  // next connection starts with what the view shows then.
  void WaitToRetry(std::chrono::seconds backoff, const std::string& error) {
    m_state.Update([&](PushStatus& s) {
      s.phase = PushPhase::Retrying;
      s.lastError = error;
      s.retryInSeconds = static_cast<int>(backoff.count());
      ++s.reconnects;
    });
    const Clock::time_point until = Clock::now() + backoff;
    while (!m_stop.load() && Clock::now() < until) {
      m_queue.PopUntil(until, m_picture);
    }
  }

  void Finish() {
    if (m_output.IsOpen()) {
      m_output.BeginFinish();
      std::string error;
      m_encoder.Flush(Writer(error), error);
      m_output.Close(true);
    }
    m_output.Close(false);
    m_encoder.Close();
    m_state.Update([&](PushStatus& s) {
      if (s.phase != PushPhase::Failed) s.phase = PushPhase::Ended;
    });
  }

  const PushSettings& m_settings;
  const PushTarget& m_target;
  CPushFrameQueue& m_queue;
  CPushState& m_state;
  const std::atomic<bool>& m_stop;
  CPushOutput m_output;
  CH264Encoder m_encoder;
  QueuedFrame m_picture;
  bool m_havePicture = false;
  bool m_everLive = false;
  bool m_failed = false;
  Clock::time_point m_epoch;
  Clock::time_point m_lastSent;
  std::int64_t m_lastPts = -1;
};

}  // namespace

std::unique_ptr<CBroadcastPush> CBroadcastPush::Start(const PushSettings& settings, std::string& error,
                                                      std::shared_ptr<CPushState> state) {
  PushTargetResult parsed = ParsePushTarget(settings.url);
  // libx264 reports every stream's statistics otherwise; the state says what matters.
  if (av_log_get_level() > AV_LOG_WARNING) av_log_set_level(AV_LOG_WARNING);
  if (!parsed.target) {
    error = parsed.error;
    return nullptr;
  }
  if (!state) state = std::make_shared<CPushState>();
  auto push = std::make_unique<CBroadcastPush>(Key{}, settings, std::move(*parsed.target), std::move(state));
  push->m_thread = std::thread([self = push.get()] { self->Run(); });
  return push;
}

CBroadcastPush::CBroadcastPush(Key /*unused*/, const PushSettings& settings, PushTarget target,
                               std::shared_ptr<CPushState> state)
    : m_settings(settings), m_target(std::move(target)), m_state(std::move(state)) {
  m_state->Update([&](PushStatus& s) {
    s = PushStatus{};
    s.phase = PushPhase::Connecting;
    s.target = m_target.display;
  });
}

CBroadcastPush::~CBroadcastPush() { Stop(); }

void CBroadcastPush::OnShownFrame(const ShownFrame& frame) { m_queue.Push(frame); }

void CBroadcastPush::Stop() {
  m_stop.store(true);
  m_queue.Close();
  if (m_thread.joinable()) m_thread.join();
}

PushStatus CBroadcastPush::Status() const { return m_state->Snapshot(); }

void CBroadcastPush::Run() { PushLoop(m_settings, m_target, m_queue, *m_state, m_stop).Run(); }
