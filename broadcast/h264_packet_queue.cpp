#include "broadcast/h264_packet_queue.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

std::shared_ptr<const AVCodecParameters> CopyCodecParameters(const AVCodecContext& encoder) {
  AVCodecParameters* made = avcodec_parameters_alloc();
  if (made == nullptr) return nullptr;
  std::shared_ptr<AVCodecParameters> parameters(made, [](AVCodecParameters* p) { avcodec_parameters_free(&p); });
  if (avcodec_parameters_from_context(made, &encoder) < 0) return nullptr;
  return parameters;
}

void EncodedPacket::Free::operator()(AVPacket* packet) const { av_packet_free(&packet); }

void CH264PacketQueue::SetWanted(bool wanted) {
  const std::lock_guard lock(m_lock);
  m_wanted = wanted;
  if (wanted) return;
  m_packets.clear();
  m_awaitingKey = false;
}

void CH264PacketQueue::RequestKeyFrame() {
  const std::lock_guard lock(m_lock);
  m_keyWanted = true;
}

std::unique_ptr<EncodedPacket> CH264PacketQueue::PopUntil(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(m_lock);
  if (!m_ready.wait_until(lock, deadline, [this] { return !m_packets.empty(); })) return nullptr;
  std::unique_ptr<EncodedPacket> oldest = std::move(m_packets.front());
  m_packets.pop_front();
  return oldest;
}

std::uint64_t CH264PacketQueue::Dropped() const {
  const std::lock_guard lock(m_lock);
  return m_dropped;
}

bool CH264PacketQueue::Wanted() const {
  const std::lock_guard lock(m_lock);
  return m_wanted;
}

bool CH264PacketQueue::TakeKeyRequest() {
  const std::lock_guard lock(m_lock);
  const bool wanted = m_keyWanted;
  m_keyWanted = false;
  return wanted;
}

void CH264PacketQueue::Push(std::unique_ptr<EncodedPacket> packet) {
  {
    const std::lock_guard lock(m_lock);
    if (!m_wanted) return;
    if (m_awaitingKey && !packet->key) {
      ++m_dropped;
      return;
    }
    m_awaitingKey = false;
    if (m_packets.size() >= kCapacity) {
      m_dropped += m_packets.size();
      m_packets.clear();
      if (!packet->key) {
        ++m_dropped;
        m_awaitingKey = true;
        m_keyWanted = true;
        return;
      }
    }
    m_packets.push_back(std::move(packet));
  }
  m_ready.notify_one();
}
