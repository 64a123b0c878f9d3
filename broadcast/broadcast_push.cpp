#include "broadcast/broadcast_push.h"

#include <algorithm>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include "broadcast/push_output.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPacketWait = std::chrono::milliseconds(200);

H264Choice ChoiceOf(const PushSettings& settings) {
  return {settings.bitrateKbit, settings.nominalFps, settings.keyIntervalMs, settings.keepAlive,
          settings.encoderThreads};
}

// The push thread's working state for one run: the connection, and the
// encoded packets it writes, their times counted from the connection's
// first picture.
class PushLoop {
 public:
  PushLoop(const PushSettings& settings, const PushTarget& target, const CLiveH264Feed& feed, CH264PacketQueue& packets,
           CPushState& state, const std::atomic<bool>& stop)
      : m_settings(settings),
        m_target(target),
        m_feed(feed),
        m_packets(packets),
        m_state(state),
        m_stop(stop),
        m_output(target, stop),
        m_picturesDroppedBefore(feed.PicturesDropped()) {}

  void Run() {
    auto backoff = m_settings.firstRetry;
    while (!m_stop.load() && !m_failed) {
      if (m_output.IsOpen()) {
        if (auto packet = m_packets.PopUntil(Clock::now() + kPacketWait)) Send(*packet);
        continue;
      }
      // A connection starts with a key frame: the encoder makes one at once.
      // The first connection waits for it to learn the stream; a lost one
      // is tried again at once with what it knows.
      m_packets.SetWanted(true);
      m_packets.RequestKeyFrame();
      std::unique_ptr<EncodedPacket> first;
      if (!m_stream) {
        first = NextKeyPacket();
        if (!first) continue;
        m_stream = first->stream;
      }
      const PushOpenResult opened = Connect(*m_stream);
      if (opened.ok) {
        backoff = m_settings.firstRetry;
        m_everLive = true;
        if (first) Send(*first);
        continue;
      }
      m_packets.SetWanted(false);
      if (m_stop.load()) break;
      if (opened.permanent && !m_everLive) {
        // One message that stays, no loop: the URL will not work as given.
        m_state.Update([&](PushStatus& s) {
          s.phase = PushPhase::Failed;
          s.lastError = opened.error;
        });
        return;
      }
      WaitToRetry(backoff, opened.error);
      backoff = std::min(backoff * 2, m_settings.longestRetry);
    }
    Finish();
  }

 private:
  // Waits for the first key frame, passing over what comes before it;
  // null when none came in a short while (no picture yet) or on stop.
  std::unique_ptr<EncodedPacket> NextKeyPacket() {
    const Clock::time_point until = Clock::now() + kPacketWait;
    while (!m_stop.load()) {
      std::unique_ptr<EncodedPacket> packet = m_packets.PopUntil(until);
      if (!packet || packet->key) return packet;
    }
    return nullptr;
  }

  PushOpenResult Connect(const H264Stream& stream) {
    m_state.Update([&](PushStatus& s) {
      s.phase = PushPhase::Connecting;
      s.target = m_target.display;
    });
    PushOpenResult opened = m_output.Open(*stream.parameters, m_settings.connectTimeout);
    if (!opened.ok) return opened;
    // Times count from the connection's first key frame.
    m_needKey = true;
    m_lastPts = -1;
    m_generation = stream.generation;
    m_state.Update([&](PushStatus& s) {
      s.phase = PushPhase::Live;
      s.retryInSeconds = 0;
      s.width = stream.width;
      s.height = stream.height;
    });
    return opened;
  }

  // Writes one packet. False when the connection went (the state says so
  // and the loop reconnects).
  bool Send(EncodedPacket& encoded) {
    m_stream = encoded.stream;
    if (m_needKey) {
      if (!encoded.key) return true;
      m_needKey = false;
      m_epochPts = encoded.packet->pts;
    }
    // A new picture size: the encoder was reopened, and where the container
    // keeps the stream header apart, the next packet carries a new one.
    if (encoded.stream->generation != m_generation) {
      m_output.AnnounceNewHeader(*encoded.stream->parameters);
      m_generation = encoded.stream->generation;
      m_state.Update([&](PushStatus& s) {
        s.width = encoded.stream->width;
        s.height = encoded.stream->height;
      });
    }
    AVPacket& packet = *encoded.packet;
    // Without B-frames decoding order is presentation order.
    const std::int64_t pts = std::max(packet.pts - m_epochPts, m_lastPts + 1);
    packet.pts = packet.dts = m_lastPts = pts;
    if (packet.duration <= 0) packet.duration = 1000 / std::max(1, m_settings.nominalFps);
    std::string error;
    if (!m_output.Write(packet, m_settings.writeTimeout, error)) {
      Lost(error);
      return false;
    }
    m_state.Update([&](PushStatus& s) {
      ++s.framesSent;
      s.framesDropped = m_feed.PicturesDropped() - m_picturesDroppedBefore + m_packets.Dropped();
    });
    return true;
  }

  void Lost(const std::string& error) {
    m_output.Close(m_target.kind == PushKind::File);
    if (m_stop.load()) return;
    if (m_target.kind == PushKind::File) {
      // A file that cannot be written to will not get better by waiting.
      m_packets.SetWanted(false);
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

  // Waits out the back-off with the encoder left to others; the next
  // connection starts with what the view shows then.
  void WaitToRetry(std::chrono::seconds backoff, const std::string& error) {
    m_state.Update([&](PushStatus& s) {
      s.phase = PushPhase::Retrying;
      s.lastError = error;
      s.retryInSeconds = static_cast<int>(backoff.count());
      ++s.reconnects;
    });
    const Clock::time_point until = Clock::now() + backoff;
    while (!m_stop.load() && Clock::now() < until) m_packets.PopUntil(std::min(until, Clock::now() + kPacketWait));
  }

  void Finish() {
    if (m_output.IsOpen()) {
      // What was encoded before the stop still goes out, then the trailer.
      m_output.BeginFinish();
      for (std::size_t i = 0; i < CH264PacketQueue::kCapacity; ++i) {
        auto packet = m_packets.PopUntil(Clock::now());
        if (!packet || !Send(*packet)) break;
      }
      m_output.Close(true);
    }
    m_packets.SetWanted(false);
    m_output.Close(false);
    m_state.Update([&](PushStatus& s) {
      if (s.phase != PushPhase::Failed) s.phase = PushPhase::Ended;
    });
  }

  const PushSettings& m_settings;
  const PushTarget& m_target;
  const CLiveH264Feed& m_feed;
  CH264PacketQueue& m_packets;
  CPushState& m_state;
  const std::atomic<bool>& m_stop;
  CPushOutput m_output;
  const std::uint64_t m_picturesDroppedBefore;
  bool m_everLive = false;
  bool m_failed = false;
  bool m_needKey = false;
  // The newest stream seen: a lost connection starts again with its header.
  std::shared_ptr<const H264Stream> m_stream;
  std::uint64_t m_generation = 0;
  std::int64_t m_epochPts = 0;
  std::int64_t m_lastPts = -1;
};

}  // namespace

std::unique_ptr<CBroadcastPush> CBroadcastPush::Start(const PushSettings& settings, std::string& error,
                                                      std::shared_ptr<CPushState> state,
                                                      std::shared_ptr<CLiveH264Feed> feed) {
  PushTargetResult parsed = ParsePushTarget(settings.url);
  // libx264 reports every stream's statistics otherwise; the state says what matters.
  if (av_log_get_level() > AV_LOG_WARNING) av_log_set_level(AV_LOG_WARNING);
  if (!parsed.target) {
    error = parsed.error;
    return nullptr;
  }
  if (!state) state = std::make_shared<CPushState>();
  auto push =
      std::make_unique<CBroadcastPush>(Key{}, settings, std::move(*parsed.target), std::move(state), std::move(feed));
  push->m_thread = std::thread([self = push.get()] { self->Run(); });
  return push;
}

CBroadcastPush::CBroadcastPush(Key /*unused*/, const PushSettings& settings, PushTarget target,
                               std::shared_ptr<CPushState> state, std::shared_ptr<CLiveH264Feed> feed)
    : m_settings(settings), m_target(std::move(target)), m_packets(ChoiceOf(settings)), m_state(std::move(state)) {
  m_feed.Hold(std::move(feed), {.nominalFps = settings.nominalFps});
  m_feed->AttachPackets(m_packets);
  m_state->Update([&](PushStatus& s) {
    s = PushStatus{};
    s.phase = PushPhase::Connecting;
    s.target = m_target.display;
  });
}

CBroadcastPush::~CBroadcastPush() { Stop(); }

void CBroadcastPush::OnShownFrame(const ShownFrame& frame) {
  if (m_feed.Own()) m_feed->OnShownFrame(frame);
}

void CBroadcastPush::Stop() {
  m_stop.store(true);
  if (m_thread.joinable()) m_thread.join();
  m_feed->DetachPackets(m_packets);
  m_feed.StopOwn();
}

PushStatus CBroadcastPush::Status() const { return m_state->Snapshot(); }

void CBroadcastPush::Run() { PushLoop(m_settings, m_target, *m_feed, m_packets, *m_state, m_stop).Run(); }
