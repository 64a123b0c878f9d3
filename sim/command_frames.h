// The camera's side of the command transport: reading a command frame that
// arrived with request 0xBC and shaping the reply frame that request 0xBD
// hands back, correct or garbled by an injected fault.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/sim_driver.h"

namespace sim {

struct CommandFrame {
  std::uint8_t code = 0;
  std::optional<std::uint8_t> value;  // empty for the 6-byte read-back form
};

// Low 8 bits of the sum of the bytes.
std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes);

// A 7-byte frame (AA h h code value checksum A5) or a 6-byte frame
// (AA h h code checksum A5); empty for anything else or a bad checksum.
std::optional<CommandFrame> ParseCommandFrame(std::span<const std::uint8_t> bytes);

// 55 status 00 code value checksum 5A.
std::vector<std::uint8_t> BuildReply(std::uint8_t status, std::uint8_t code, std::uint8_t value);

// The reply as it leaves the camera under a fault; Status1/Status2 and
// NoReply are decided by the caller (they change what the camera does).
std::vector<std::uint8_t> GarbleReply(std::vector<std::uint8_t> reply, ReplyFault fault);

}  // namespace sim
