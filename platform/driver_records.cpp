#include "platform/driver_records.h"

#include <cstdio>

namespace platform {

std::array<std::uint8_t, kVendorRequestBlockSize> VendorRequestBlock::Encode() const {
  return {static_cast<std::uint8_t>(transferDirection),
          requestKind,
          recipientKind,
          extraTypeBits,
          requestCode,
          0,
          static_cast<std::uint8_t>(wValue & 0xFF),
          static_cast<std::uint8_t>(wValue >> 8),
          static_cast<std::uint8_t>(wIndex & 0xFF),
          static_cast<std::uint8_t>(wIndex >> 8)};
}

std::optional<VendorRequestBlock> VendorRequestBlock::Decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kVendorRequestBlockSize) return std::nullopt;
  VendorRequestBlock block;
  block.transferDirection = bytes[0] ? TransferDirection::DeviceToHost : TransferDirection::HostToDevice;
  block.requestKind = bytes[1];
  block.recipientKind = bytes[2];
  block.extraTypeBits = bytes[3];
  block.requestCode = bytes[4];
  block.wValue = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
  block.wIndex = static_cast<std::uint16_t>(bytes[8] | (bytes[9] << 8));
  return block;
}

std::array<std::uint8_t, kBulkReadBlockSize> BulkReadBlock::Encode() const {
  return {static_cast<std::uint8_t>(pipeIndex), static_cast<std::uint8_t>(pipeIndex >> 8),
          static_cast<std::uint8_t>(pipeIndex >> 16), static_cast<std::uint8_t>(pipeIndex >> 24)};
}

std::optional<BulkReadBlock> BulkReadBlock::Decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kBulkReadBlockSize) return std::nullopt;
  BulkReadBlock block;
  block.pipeIndex = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                    (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  return block;
}

bool SendVendorRequest(IDriver& driver, DeviceHandle handle, std::uint8_t requestCode, TransferDirection direction,
                       std::span<std::uint8_t> data, std::uint32_t& bytesReturned) {
  VendorRequestBlock block;
  block.transferDirection = direction;
  block.requestCode = requestCode;
  const auto record = block.Encode();
  return driver.DeviceIoControl(handle, kVendorRequestIoctl, record, data, bytesReturned);
}

bool ReadBulkPipe(IDriver& driver, DeviceHandle handle, std::uint32_t pipeIndex, std::span<std::uint8_t> buffer,
                  std::uint32_t& bytesReturned) {
  const auto record = BulkReadBlock{pipeIndex}.Encode();
  return driver.DeviceIoControl(handle, kBulkReadIoctl, record, buffer, bytesReturned);
}

}  // namespace platform
