#include "sim/command_frames.h"

namespace sim {

namespace {
constexpr std::uint8_t kCommandStart = 0xAA;
constexpr std::uint8_t kCommandEnd = 0xA5;
constexpr std::uint8_t kReplyStart = 0x55;
constexpr std::uint8_t kReplyEnd = 0x5A;
}  // namespace

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint8_t>(sum & 0xFF);
}

std::optional<CommandFrame> ParseCommandFrame(std::span<const std::uint8_t> bytes) {
  const std::size_t n = bytes.size();
  if ((n != 6 && n != 7) || bytes[0] != kCommandStart || bytes[n - 1] != kCommandEnd) return std::nullopt;
  if (FrameChecksum(bytes.subspan(1, n - 3)) != bytes[n - 2]) return std::nullopt;
  CommandFrame frame;
  frame.code = bytes[3];
  if (n == 7) frame.value = bytes[4];
  return frame;
}

std::vector<std::uint8_t> BuildReply(std::uint8_t status, std::uint8_t code, std::uint8_t value) {
  std::vector<std::uint8_t> reply = {kReplyStart, status, 0x00, code, value, 0, kReplyEnd};
  reply[5] = FrameChecksum(std::span(reply).subspan(1, 4));
  return reply;
}

std::vector<std::uint8_t> GarbleReply(std::vector<std::uint8_t> reply, ReplyFault fault) {
  switch (fault) {
    case ReplyFault::BadChecksum: reply[reply.size() - 2] ^= 0x5F; break;
    case ReplyFault::WrongStart: reply.front() = 0x56; break;
    case ReplyFault::WrongEnd: reply.back() = 0x5B; break;
    case ReplyFault::Short: reply = {kReplyStart, reply[1], reply[3], kReplyEnd}; break;
    case ReplyFault::Overlong: {
      // Never an end byte among them, so a reader that waits for one overruns.
      std::vector<std::uint8_t> longer(reply.begin(), reply.end() - 2);
      for (std::uint8_t i = 0; longer.size() < 30; ++i) longer.push_back(static_cast<std::uint8_t>(0x10 + i));
      reply = std::move(longer);
      break;
    }
    default: break;
  }
  return reply;
}

}  // namespace sim
