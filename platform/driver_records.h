// The request records of the driver's two device-control codes, laid out byte
// for byte as the driver reads them (multi-byte fields little-endian).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/driver.h"

namespace platform {

// The vendor requests the camera answers (the setup packet's bRequest).
namespace request {
inline constexpr std::uint8_t kQueryMode = 0xB0;   // the 20-byte mode reply
inline constexpr std::uint8_t kQuerySpeed = 0xB3;  // high or full speed
inline constexpr std::uint8_t kStartFrame = 0xB4;
inline constexpr std::uint8_t kRecover = 0xB5;
inline constexpr std::uint8_t kGiveUp = 0xB7;  // abort the frame in flight
inline constexpr std::uint8_t kWriteCommand = 0xBC;
inline constexpr std::uint8_t kReadReply = 0xBD;
inline constexpr std::uint8_t kAttach = 0xBE;
}  // namespace request
inline constexpr std::uint8_t kVendorRequestKind = 2;
inline constexpr std::size_t kModeReplyBytes = 20;

enum class TransferDirection : std::uint8_t { HostToDevice = 0, DeviceToHost = 1 };

struct VendorRequestBlock {
  TransferDirection transferDirection = TransferDirection::HostToDevice;
  std::uint8_t requestKind = kVendorRequestKind;  // always
  std::uint8_t recipientKind = 0;                 // device, always
  std::uint8_t extraTypeBits = 0;                 // reserved request-type bits
  std::uint8_t requestCode = 0;                   // the setup packet's bRequest
  std::uint16_t wValue = 0;
  std::uint16_t wIndex = 0;

  std::array<std::uint8_t, kVendorRequestBlockSize> Encode() const;
  // Empty for fewer than 10 bytes. Byte 5 (padding) is not interpreted.
  static std::optional<VendorRequestBlock> Decode(std::span<const std::uint8_t> bytes);
};

struct BulkReadBlock {
  std::uint32_t pipeIndex = 0;

  std::array<std::uint8_t, kBulkReadBlockSize> Encode() const;
  static std::optional<BulkReadBlock> Decode(std::span<const std::uint8_t> bytes);
};

// Issues one vendor request through the driver: the record built from the
// code and direction, with `data` as the data stage.
bool SendVendorRequest(IDriver& driver, DeviceHandle handle, std::uint8_t requestCode, TransferDirection direction,
                       std::span<std::uint8_t> data, std::uint32_t& bytesReturned);

// Reads up to buffer.size() bytes from bulk pipe `pipeIndex`.
bool ReadBulkPipe(IDriver& driver, DeviceHandle handle, std::uint32_t pipeIndex, std::span<std::uint8_t> buffer,
                  std::uint32_t& bytesReturned);

}  // namespace platform
