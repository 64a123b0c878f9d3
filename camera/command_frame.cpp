#include "camera/command_frame.h"

namespace camera {

std::uint8_t FrameChecksum(std::span<const std::uint8_t> covered) {
  unsigned sum = 0;
  for (std::uint8_t b : covered) sum += b;
  return static_cast<std::uint8_t>(sum & 0xFF);
}

CommandFrame BuildCommandFrame(CommandForm form, std::uint8_t code, std::uint8_t value) {
  CommandFrame frame;
  auto& b = frame.bytes;
  b[0] = kCommandStart;
  b[1] = form == CommandForm::Tagged ? 0x80 : 0x00;
  b[2] = 0x00;
  b[3] = code;
  if (form == CommandForm::Short) {
    b[4] = FrameChecksum(std::span(b).subspan(1, 3));
    b[5] = kCommandEnd;
    frame.size = 6;
  } else {
    b[4] = value;
    b[5] = FrameChecksum(std::span(b).subspan(1, 4));
    b[6] = kCommandEnd;
    frame.size = 7;
  }
  return frame;
}

ReplyCheck CheckReply(std::span<const std::uint8_t> reply, bool repeatWhenShort) {
  const std::size_t n = reply.size();
  if (n < kShortestReply) return {repeatWhenShort ? ReplyVerdict::Repeat : ReplyVerdict::Malformed, 0};
  if (reply[0] != kReplyStart || reply[n - 1] != kReplyEnd) return {ReplyVerdict::Malformed, 0};
  if (FrameChecksum(reply.subspan(1, n - 3)) != reply[n - 2]) return {ReplyVerdict::Malformed, 0};
  switch (reply[1] & 0x07) {
    case 0: return {ReplyVerdict::Value, reply[4]};
    case 2: return {ReplyVerdict::Repeat, 0};
    default: return {ReplyVerdict::Refused, 0};
  }
}

std::string FormatHexLogLine(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(bytes.size() * 3 + 2);
  for (std::uint8_t b : bytes) {
    line += kDigits[b >> 4];
    line += kDigits[b & 0x0F];
    line += ' ';
  }
  line += "\r\n";
  return line;
}

}  // namespace camera
