#include "broadcast/live_h264_feed.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "broadcast/fragmented_mp4.h"
#include "broadcast/h264_encoder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Fragments kept for late readers, besides the newest key frame's group.
constexpr auto kWindowSpan = std::chrono::seconds(3);
constexpr std::size_t kWindowMaxFragments = 256;
constexpr auto kIdleWait = std::chrono::milliseconds(200);

}  // namespace

CLiveH264Feed::CLiveH264Feed(LiveH264Settings settings) : m_settings(settings) {}

CLiveH264Feed::~CLiveH264Feed() { Stop(); }

void CLiveH264Feed::Start() {
  m_thread.Start(m_lock, [this] { Run(); });
}

void CLiveH264Feed::Stop() {
  m_thread.Stop(m_lock, [this] {
    m_queue.Close();
    m_fragmentReady.Notify();
  });
}

void CLiveH264Feed::OnShownFrame(const ShownFrame& frame) { m_queue.Push(frame); }

std::uint64_t CLiveH264Feed::AddViewer() {
  std::lock_guard guard(m_lock);
  ++m_viewers;
  m_keyWanted = true;
  return m_window.empty() ? 0 : m_window.back()->sequence;
}

void CLiveH264Feed::RemoveViewer() {
  std::lock_guard guard(m_lock);
  if (m_viewers > 0) --m_viewers;
}

int CLiveH264Feed::Viewers() const {
  std::lock_guard guard(m_lock);
  return m_viewers;
}

void CLiveH264Feed::EndViewers() {
  {
    std::lock_guard guard(m_lock);
    m_viewersEnded = true;
  }
  m_fragmentReady.Notify();
}

bool CLiveH264Feed::ViewersEnded() const {
  std::shared_lock guard(m_lock);
  return m_viewersEnded || m_thread.StoppingLocked();
}

void CLiveH264Feed::AttachPackets(CH264PacketQueue& queue) {
  std::lock_guard guard(m_lock);
  m_pPackets = &queue;
}

void CLiveH264Feed::DetachPackets(CH264PacketQueue& queue) {
  std::lock_guard guard(m_lock);
  if (m_pPackets == &queue) m_pPackets = nullptr;
}

bool CLiveH264Feed::WantedLocked() const {
  return (m_viewers > 0 && !m_viewersEnded) || (m_pPackets != nullptr && m_pPackets->Wanted());
}

H264Choice CLiveH264Feed::ChoiceLocked() const {
  if (m_pPackets != nullptr) return m_pPackets->Choice();
  return {m_settings.bitrateKbit, m_settings.nominalFps, m_settings.keyIntervalMs, m_settings.repeatHeld,
          m_settings.encoderThreads};
}

std::uint64_t CLiveH264Feed::EncodersOpened() const {
  std::lock_guard guard(m_lock);
  return m_opened;
}

bool CLiveH264Feed::EncoderRunning() const {
  std::lock_guard guard(m_lock);
  return m_running;
}

std::uint64_t CLiveH264Feed::FragmentsMade() const {
  std::lock_guard guard(m_lock);
  return m_made;
}

std::size_t CLiveH264Feed::WindowBytes() const {
  std::lock_guard guard(m_lock);
  return m_windowBytes;
}

std::shared_ptr<const Mp4Fragment> CLiveH264Feed::PickLocked(std::uint64_t after, bool started) const {
  if (m_window.empty() || m_window.back()->sequence <= after) return nullptr;
  const auto& newest = m_window.back();
  const std::uint64_t first = m_window.front()->sequence;
  if (started && after + 1 >= first) {
    const auto& next = m_window[after + 1 - first];
    // Within reach of the edge: the next one, so the viewer's decoder
    // sees every frame of its group.
    if (newest->captured - next->captured <= m_settings.maxBehind) return next;
  }
  // Joined just now: from the first key frame since joining, when that is
  // still near the edge. Too far behind: from the newest key frame, when the
  // viewer has not had it yet; else it waits for the following one.
  if (!started) {
    for (const auto& fragment : m_window)
      if (fragment->key && fragment->sequence > after && newest->captured - fragment->captured <= m_settings.maxBehind)
        return fragment;
  }
  for (auto it = m_window.rbegin(); it != m_window.rend(); ++it)
    if ((*it)->key) return (*it)->sequence > after ? *it : nullptr;
  return nullptr;
}

std::shared_ptr<const Mp4Fragment> CLiveH264Feed::WaitNext(std::uint64_t after, bool started,
                                                           std::chrono::milliseconds timeout) {
  const Clock::time_point until = Clock::now() + timeout;
  for (;;) {
    // Read before looking, so that a fragment published meanwhile ends the wait at once.
    const std::uint32_t seen = m_fragmentReady.Seen();
    {
      std::shared_lock lock(m_lock);
      if (m_thread.StoppingLocked() || m_viewersEnded) return nullptr;
      if (auto picked = PickLocked(after, started)) return picked;
    }
    const auto left = until - Clock::now();
    if (left <= Clock::duration::zero()) return nullptr;
    m_fragmentReady.WaitChange(seen, left);
  }
}

void CLiveH264Feed::Publish(std::shared_ptr<Mp4Fragment> fragment) {
  {
    std::lock_guard guard(m_lock);
    fragment->sequence = m_nextSequence++;
    ++m_made;
    m_windowBytes += fragment->bytes.size();
    const Clock::time_point newest = fragment->captured;
    m_window.push_back(std::move(fragment));
    // The newest key frame's group always stays: it is where joiners start.
    std::size_t newestKey = m_window.size() - 1;
    while (newestKey > 0 && !m_window[newestKey]->key) --newestKey;
    std::size_t drop = 0;
    while (drop < newestKey &&
           (newest - m_window[drop]->captured > kWindowSpan || m_window.size() - drop > kWindowMaxFragments))
      ++drop;
    for (std::size_t i = 0; i < drop; ++i) {
      m_windowBytes -= m_window.front()->bytes.size();
      m_window.pop_front();
    }
  }
  m_fragmentReady.Notify();
}

void CLiveH264Feed::HandToPush(const AVPacket& packet, bool key, const std::shared_ptr<const H264Stream>& stream) {
  std::lock_guard guard(m_lock);
  if (m_pPackets == nullptr || !m_pPackets->Wanted()) return;
  auto copy = std::make_unique<EncodedPacket>();
  // A copy of the bytes, not a second reference: the push thread then owns
  // all it touches (FFmpeg's reference counts are invisible to the race
  // checker), and the muxer below may rewrite the times of the original.
  copy->packet.reset(av_packet_alloc());
  if (!copy->packet || av_new_packet(copy->packet.get(), packet.size) < 0 ||
      av_packet_copy_props(copy->packet.get(), &packet) < 0)
    return;
  std::memcpy(copy->packet->data, packet.data, static_cast<std::size_t>(packet.size));
  copy->stream = stream;
  copy->key = key;
  m_pPackets->Push(std::move(copy));
}

void CLiveH264Feed::Run() {
  // Named for the benchmarks' and a debugger's thread lists.
  pthread_setname_np(pthread_self(), "h264 feed");
  CH264Encoder encoder;
  CFragmentedMp4 muxer;
  std::shared_ptr<const Mp4Init> init;
  std::shared_ptr<const H264Stream> stream;
  H264Choice openedWith;
  std::uint64_t generation = 0;
  QueuedFrame picture;
  bool havePicture = false;
  Clock::time_point epoch;
  Clock::time_point lastEncoded;
  Clock::time_point lastForcedKey;
  std::int64_t lastPts = -1;
  const std::int64_t frameMs = 1000 / std::max(1, m_settings.nominalFps);
  std::array<std::int64_t, 8> intervals;
  intervals.fill(frameMs);
  std::size_t nextInterval = 0;

  // A new size keeps the fragments already made, for viewers still reading them.
  const auto closeEncoder = [&](bool forget) {
    encoder.Close();
    muxer.Close();
    init.reset();
    stream.reset();
    std::lock_guard guard(m_lock);
    m_running = false;
    if (!forget) return;
    m_window.clear();
    m_windowBytes = 0;
  };
  const auto openEncoder = [&](const H264Choice& choice) -> bool {
    // The global header puts SPS and PPS out of band: the MP4 header, FLV's
    // and Matroska's carry them; MPEG-TS and RTSP get them from the stream description.
    const H264Settings settings{.width = picture.width,
                                .height = picture.height,
                                .bitrateKbit = choice.bitrateKbit,
                                .nominalFps = choice.nominalFps,
                                .keyIntervalMs = choice.keyIntervalMs,
                                .globalHeader = true,
                                .threads = choice.threads};
    std::string error = encoder.Open(settings);
    auto made = std::make_shared<Mp4Init>();
    if (error.empty()) error = muxer.Open(*encoder.Context(), made->bytes);
    auto described = std::make_shared<H264Stream>();
    if (error.empty() && !(described->parameters = CopyCodecParameters(*encoder.Context()))) error = "out of memory";
    if (!error.empty()) {
      std::fprintf(stderr, "tavrocam: web: no H.264 stream: %s\n", error.c_str());
      closeEncoder(true);
      return false;
    }
    made->generation = described->generation = ++generation;
    made->width = described->width = picture.width;
    made->height = described->height = picture.height;
    init = std::move(made);
    stream = std::move(described);
    openedWith = choice;
    std::lock_guard guard(m_lock);
    ++m_opened;
    m_running = true;
    // A new encoder starts with a key frame anyway.
    m_keyWanted = false;
    if (m_pPackets != nullptr) m_pPackets->TakeKeyRequest();
    return true;
  };

  for (;;) {
    bool running = false;
    bool wanted = false;
    H264Choice choice;
    {
      std::lock_guard guard(m_lock);
      if (m_thread.StoppingLocked()) break;
      running = m_running;
      wanted = WantedLocked();
      choice = ChoiceLocked();
    }
    // A viewer or push waiting for a held picture gets it at once.
    Clock::time_point deadline = Clock::now() + kIdleWait;
    if (running)
      deadline = lastEncoded + choice.repeatHeld;
    else if (havePicture && wanted)
      deadline = Clock::now();
    const bool fresh = m_queue.PopUntil(deadline, picture);
    if (fresh) havePicture = true;
    {
      std::lock_guard guard(m_lock);
      if (m_thread.StoppingLocked()) break;
      wanted = WantedLocked();
      choice = ChoiceLocked();
    }
    if (!havePicture) continue;
    if (!wanted) {
      if (encoder.IsOpen()) closeEncoder(true);
      continue;
    }
    const Clock::time_point now = Clock::now();
    if (!fresh && encoder.IsOpen() && now < lastEncoded + choice.repeatHeld) continue;
    // A turn, a mode change or other settings: a new encoder, a new
    // initialisation segment.
    if (encoder.IsOpen() &&
        (picture.width != encoder.Width() || picture.height != encoder.Height() || !(choice == openedWith)))
      closeEncoder(false);
    if (!encoder.IsOpen()) {
      if (!openEncoder(choice)) {
        // This size cannot be encoded; wait for another picture.
        havePicture = false;
        continue;
      }
      if (lastPts < 0) epoch = now;
    }
    {
      std::lock_guard guard(m_lock);
      // The push (re)connecting starts at once; joining viewers share one
      // key frame at most every keyRequestGap.
      const bool pushAsks = m_pPackets != nullptr && m_pPackets->TakeKeyRequest();
      if (pushAsks || (m_keyWanted && now - lastForcedKey >= m_settings.keyRequestGap)) {
        encoder.RequestKeyFrame();
        lastForcedKey = now;
        m_keyWanted = false;
      }
    }
    // Frozen: the held picture again, stamped now.
    const Clock::time_point when = fresh ? picture.captured : now;
    std::int64_t pts = std::chrono::duration_cast<std::chrono::milliseconds>(when - epoch).count();
    pts = std::max(pts, lastPts + 1);
    if (lastPts >= 0) {
      intervals[nextInterval] = pts - lastPts;
      nextInterval = (nextInterval + 1) % intervals.size();
    }
    lastPts = pts;
    lastEncoded = now;
    std::string error;
    const bool ok = encoder.Encode(
        picture.pixels, picture.rowBytes, pts,
        [&](AVPacket& packet) {
          // The next picture's time is not known yet. A length a little
          // below the shortest recent interval, never above one frame at the
          // usual rate, leaves a small gap rather than overlapping the next.
          const std::int64_t shortest = *std::min_element(intervals.begin(), intervals.end());
          packet.duration = std::clamp<std::int64_t>(shortest * 4 / 5, 1, frameMs);
          const bool key = (packet.flags & AV_PKT_FLAG_KEY) != 0;
          HandToPush(packet, key, stream);
          auto fragment = std::make_shared<Mp4Fragment>();
          fragment->key = key;
          fragment->captured = when;
          fragment->init = init;
          if (!muxer.Write(packet, fragment->bytes, error)) return false;
          Publish(std::move(fragment));
          return true;
        },
        error);
    if (!ok) {
      std::fprintf(stderr, "tavrocam: web: H.264 stream: %s\n", error.c_str());
      closeEncoder(true);
    }
  }
  closeEncoder(true);
}
