// The encoded pictures themselves, for a consumer that writes its own
// container (the broadcast push): the shared encoder hands each packet in
// and never waits; the consumer takes them on its own thread. A consumer
// that falls behind loses what waits and starts again at a key frame, so
// neither side holds the other up.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

struct AVCodecContext;
struct AVCodecParameters;
struct AVPacket;

// One encoder run at one size: what a container's stream header needs.
struct H264Stream {
  std::uint64_t generation = 0;
  int width = 0;
  int height = 0;
  std::shared_ptr<const AVCodecParameters> parameters;
};

// Makes the stream description of an open encoder (its extradata included).
std::shared_ptr<const AVCodecParameters> CopyCodecParameters(const AVCodecContext& encoder);

struct EncodedPacket {
  struct Free {
    void operator()(AVPacket* packet) const;
  };
  std::shared_ptr<const H264Stream> stream;
  // Time base 1/1000 s, counted from the encoder's first picture.
  std::unique_ptr<AVPacket, Free> packet;
  bool key = false;
};

// How the consumer wants the encoder set while it takes packets.
struct H264Choice {
  int bitrateKbit = 2500;
  int nominalFps = 15;
  int keyIntervalMs = 2000;
  // While frozen the held picture is encoded again this often.
  std::chrono::milliseconds repeatHeld{500};
  int threads = 1;
  bool operator==(const H264Choice&) const = default;
};

class CH264PacketQueue {
 public:
  // More than this waiting means the consumer is stuck (a stalled server).
  static constexpr std::size_t kCapacity = 90;

  explicit CH264PacketQueue(H264Choice choice) : m_choice(choice) {}

  const H264Choice& Choice() const { return m_choice; }

  // The consumer's side. While wanted the encoder runs for it; a key frame
  // asked for comes as soon as the encoder can make one.
  void SetWanted(bool wanted);
  void RequestKeyFrame();
  // The oldest waiting packet, or null when none came before `deadline`.
  std::unique_ptr<EncodedPacket> PopUntil(std::chrono::steady_clock::time_point deadline);
  // Packets dropped because the consumer fell behind.
  std::uint64_t Dropped() const;

  // The encoder's side.
  bool Wanted() const;
  // Clears the request while reading it.
  bool TakeKeyRequest();
  // Takes the packet when wanted. When full, everything waiting goes and
  // nothing is taken again before a key frame (asked for at once), since
  // later packets need what was dropped.
  void Push(std::unique_ptr<EncodedPacket> packet);

 private:
  const H264Choice m_choice;
  mutable std::mutex m_lock;
  std::condition_variable m_ready;
  std::deque<std::unique_ptr<EncodedPacket>> m_packets;
  bool m_wanted = false;
  bool m_keyWanted = false;
  // After a drop nothing is taken until the next key frame.
  bool m_awaitingKey = false;
  std::uint64_t m_dropped = 0;
};
