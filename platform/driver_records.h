// The request records of the driver's two device-control codes, laid out byte
// for byte as the driver reads them (multi-byte fields little-endian).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/driver.h"

namespace platform {

enum class TransferDirection : std::uint8_t { HostToDevice = 0, DeviceToHost = 1 };

struct VendorRequestBlock {
  TransferDirection transferDirection = TransferDirection::HostToDevice;
  std::uint8_t requestKind = 2;    // vendor request, always
  std::uint8_t recipientKind = 0;  // device, always
  std::uint8_t extraTypeBits = 0;  // reserved request-type bits
  std::uint8_t requestCode = 0;    // the setup packet's bRequest
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
