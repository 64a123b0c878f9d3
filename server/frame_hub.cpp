#include "server/frame_hub.h"

#include <cstring>

namespace server {

namespace {

// Three buffers cover the worker's copy, the one being encoded and one a
// snapshot may still read; a fourth is allocated only when all are held.
constexpr std::size_t kPoolSize = 4;
constexpr auto kRateWindow = std::chrono::seconds(1);

}  // namespace

CFrameHub::CFrameHub() = default;

CFrameHub::~CFrameHub() { Stop(); }

void CFrameHub::Start() {
  m_encoder.Start(m_lock, [this] { EncodeLoop(); });
}

void CFrameHub::Stop() {
  m_encoder.Stop(m_lock, [this] {
    m_wakeEncoder.notify_all();
    m_frameReady.notify_all();
  });
}

bool CFrameHub::Stopping() const {
  std::lock_guard guard(m_lock);
  return m_encoder.StoppingLocked();
}

CFrameHub::Lease::Lease(CFrameHub& hub, Slot* slot) : m_hub(hub), m_slot(slot) {}

CFrameHub::Lease::~Lease() {
  if (!m_slot) return;
  std::lock_guard guard(m_hub.m_lock);
  --m_slot->holders;
}

CFrameHub::Lease CFrameHub::LeaseLatest() {
  std::lock_guard guard(m_lock);
  if (m_latestRaw) ++m_latestRaw->holders;
  return Lease(*this, m_latestRaw);
}

CFrameHub::Slot* CFrameHub::FreeSlot() {
  for (auto& slot : m_slots)
    if (slot->holders == 0 && slot.get() != m_latestRaw) return slot.get();
  if (m_slots.size() >= kPoolSize) return nullptr;
  m_slots.push_back(std::make_unique<Slot>());
  return m_slots.back().get();
}

void CFrameHub::OnShownFrame(const ShownFrame& frame) {
  if (frame.width <= 0 || frame.height <= 0 || frame.rowBytes < frame.width * 3) return;
  const auto bytes = static_cast<std::size_t>(frame.rowBytes) * static_cast<std::size_t>(frame.height);
  if (frame.pixels.size() < bytes) return;

  Slot* slot = nullptr;
  {
    std::lock_guard guard(m_lock);
    if (m_encoder.StoppingLocked()) return;
    // Every buffer held by slow snapshot readers: this picture is skipped.
    slot = FreeSlot();
    if (!slot) return;
    slot->holders = 1;
  }
  // Nobody else reads a held buffer that is not the newest: copy unlocked.
  RawPicture* buffer = &slot->picture;
  buffer->number = frame.number;
  buffer->width = frame.width;
  buffer->height = frame.height;
  buffer->rowBytes = frame.rowBytes;
  buffer->captured = frame.captured;
  buffer->pixels.resize(bytes);
  std::memcpy(buffer->pixels.data(), frame.pixels.data(), bytes);
  {
    std::lock_guard guard(m_lock);
    slot->holders = 0;
    m_latestRaw = slot;
    m_encodePending = true;
    const auto now = std::chrono::steady_clock::now();
    m_recent.push_back(now);
    while (!m_recent.empty() && now - m_recent.front() > kRateWindow) m_recent.pop_front();
  }
  m_wakeEncoder.notify_one();
}

std::uint64_t CFrameHub::AddViewer() {
  std::uint64_t newest = 0;
  {
    std::lock_guard guard(m_lock);
    ++m_viewers;
    if (m_latestRaw) newest = m_latestRaw->picture.number;
    // A viewer arriving while the picture is held gets the held picture.
    if (m_latestRaw && (!m_latestJpeg || m_latestJpeg->number != m_latestRaw->picture.number)) m_encodePending = true;
  }
  m_wakeEncoder.notify_one();
  return newest;
}

void CFrameHub::RemoveViewer() {
  std::lock_guard guard(m_lock);
  if (m_viewers > 0) --m_viewers;
}

void CFrameHub::EncodeLoop() {
  CStillJpegEncoder encoder;
  std::unique_lock lock(m_lock);
  for (;;) {
    m_wakeEncoder.wait(lock, [this] { return m_encoder.StoppingLocked() || (m_encodePending && m_viewers > 0); });
    if (m_encoder.StoppingLocked()) return;
    m_encodePending = false;
    // A viewer that arrived while this picture was being encoded asked for it
    // again; it is already the newest JPEG.
    if (m_latestJpeg && m_latestJpeg->number == m_latestRaw->picture.number) continue;
    Slot* slot = m_latestRaw;
    ++slot->holders;
    const RawPicture* raw = &slot->picture;
    lock.unlock();

    auto frame = std::make_shared<EncodedFrame>();
    frame->number = raw->number;
    frame->width = raw->width;
    frame->height = raw->height;
    frame->captured = raw->captured;
    const bool ok = encoder.Encode(raw->View(), frame->jpeg);

    lock.lock();
    --slot->holders;
    if (ok) {
      m_latestJpeg = std::move(frame);
      ++m_encoded;
      m_frameReady.notify_all();
    }
  }
}

std::shared_ptr<const EncodedFrame> CFrameHub::WaitNewer(std::uint64_t after, std::chrono::milliseconds timeout) {
  std::unique_lock lock(m_lock);
  m_frameReady.wait_for(lock, timeout,
                        [&] { return m_encoder.StoppingLocked() || (m_latestJpeg && m_latestJpeg->number > after); });
  return m_latestJpeg;
}

std::optional<std::string> CFrameHub::SnapshotJpeg() {
  {
    std::lock_guard guard(m_lock);
    if (m_latestJpeg && m_latestRaw && m_latestJpeg->number == m_latestRaw->picture.number)
      return std::string(m_latestJpeg->jpeg.begin(), m_latestJpeg->jpeg.end());
  }
  const Lease raw = LeaseLatest();
  if (!raw) return std::nullopt;
  // No viewer has had this picture encoded: encode it here, on the caller's thread.
  CStillJpegEncoder encoder;
  std::vector<std::uint8_t> jpeg;
  if (!encoder.Encode(raw->View(), jpeg)) return std::nullopt;
  return std::string(jpeg.begin(), jpeg.end());
}

std::optional<std::string> CFrameHub::SnapshotBmp() {
  const Lease raw = LeaseLatest();
  if (!raw) return std::nullopt;
  std::string file = BmpFileOf(raw->View());
  if (file.empty()) return std::nullopt;
  return file;
}

PictureRate CFrameHub::Rate() const {
  std::lock_guard guard(m_lock);
  PictureRate rate;
  const auto now = std::chrono::steady_clock::now();
  for (const auto& t : m_recent)
    if (now - t <= kRateWindow) ++rate.fps;
  if (m_latestRaw) {
    rate.frames = m_latestRaw->picture.number;
    rate.width = m_latestRaw->picture.width;
    rate.height = m_latestRaw->picture.height;
  }
  return rate;
}

std::uint64_t CFrameHub::EncodedCount() const {
  std::lock_guard guard(m_lock);
  return m_encoded;
}

}  // namespace server
