// One connection to the push target (or one open file): the container, its
// single H.264 stream, and the I/O under a deadline so that a stalled server
// or the program's exit never leaves the push thread blocked for long.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "broadcast/push_target.h"

struct AVCodecParameters;
struct AVFormatContext;
struct AVPacket;

struct PushOpenResult {
  bool ok = false;
  // The URL can never work as given (no such host, a refused stream key,
  // a folder that does not exist): retrying would only repeat the failure.
  bool permanent = false;
  std::string error;
};

class CPushOutput {
 public:
  // `stop` aborts any blocking I/O once set.
  CPushOutput(const PushTarget& target, const std::atomic<bool>& stop);
  ~CPushOutput();
  CPushOutput(const CPushOutput&) = delete;
  CPushOutput& operator=(const CPushOutput&) = delete;

  // Connects (or creates the file) and writes the container's header for
  // the encoder's stream (SPS and PPS out of band, in `stream`'s extradata).
  PushOpenResult Open(const AVCodecParameters& stream, std::chrono::milliseconds timeout);
  bool IsOpen() const { return m_context != nullptr && m_headerWritten; }

  // The encoder was reopened at another size: the next packet carries its
  // new stream header.
  void AnnounceNewHeader(const AVCodecParameters& stream);

  // Writes one packet in the encoder's time base of 1/1000 s.
  bool Write(AVPacket& packet, std::chrono::milliseconds timeout, std::string& error);

  // The program is ending: from here on only a short deadline of its own
  // limits the I/O, so that the last packets and the trailer still go out.
  void BeginFinish();

  // Ends the stream: the trailer when `finish` (files get their index), then
  // closes the connection. Safe to call twice.
  void Close(bool finish);

 private:
  static int Interrupted(void* opaque);
  bool WriteWithNewHeader(AVPacket& packet, std::chrono::milliseconds timeout, std::string& error);
  void ArmDeadline(std::chrono::milliseconds timeout);

  PushTarget m_target;
  const std::atomic<bool>& m_stop;
  std::atomic<std::int64_t> m_deadlineNs{0};
  std::atomic<bool> m_finishing{false};
  AVFormatContext* m_context = nullptr;
  bool m_headerWritten = false;
  bool m_ioOpened = false;
  std::vector<std::uint8_t> m_pendingHeader;
};
