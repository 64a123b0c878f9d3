// The camera's command and reply frames: building a command with its
// checksum, judging a reply, and the hex line the command log shows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace camera {

inline constexpr std::uint8_t kCommandStart = 0xAA;
inline constexpr std::uint8_t kCommandEnd = 0xA5;
inline constexpr std::uint8_t kReplyStart = 0x55;
inline constexpr std::uint8_t kReplyEnd = 0x5A;
inline constexpr std::size_t kShortestReply = 6;

enum class CommandForm {
  Tagged,  // header 80 00, with a value: SendCommand
  Plain,   // header 00 00, with a value: SendPlainCommand
  Short,   // header 00 00, no value: SendShortCommand (a read-back)
};

struct CommandFrame {
  std::array<std::uint8_t, 7> bytes{};
  std::size_t size = 0;

  std::span<const std::uint8_t> View() const { return {bytes.data(), size}; }
};

// Low 8 bits of the sum of the bytes.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> covered);

CommandFrame BuildCommandFrame(CommandForm form, std::uint8_t code, std::uint8_t value = 0);

enum class ReplyVerdict {
  Value,      // status 0: `value` is the reply's byte 4
  Repeat,     // send the same frame again (status 2, or a short reply where the form allows it)
  Malformed,  // wrong start or end byte, bad checksum, or too short to hold byte 4 and the checksum
  Refused,    // any status other than 0 and 2
};

struct ReplyCheck {
  ReplyVerdict verdict = ReplyVerdict::Malformed;
  std::uint8_t value = 0;
};

// Judges the bytes of one reply (at least one byte). A reply shorter than six
// bytes is repeated when `repeatWhenShort`, malformed otherwise.
ReplyCheck CheckReply(std::span<const std::uint8_t> reply, bool repeatWhenShort);

// "%02X " for each byte, then "\r\n".
std::string FormatHexLogLine(std::span<const std::uint8_t> bytes);

}  // namespace camera
