// Passes every call on to another driver and keeps a record of it: opens with
// their paths, closes, cancels, and device-control calls decoded from their
// request records, so tests can check the exact requests the link makes.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/driver.h"
#include "platform/driver_records.h"

namespace camera_test {

struct DriverCall {
  enum class Kind { Open, Close, Cancel, Vendor, Bulk, Unknown };
  Kind kind = Kind::Unknown;
  platform::DeviceHandle handle = platform::DeviceHandle::Null;  // the handle used, or the one Open gave
  std::string path;                                               // Open only
  std::optional<platform::VendorRequestBlock> vendor;
  std::uint32_t pipe = 0;
  std::size_t length = 0;               // data stage length
  std::vector<std::uint8_t> data;       // bytes sent (out) or received (in)
  bool ok = false;
  std::chrono::steady_clock::time_point at;
};

class RecordingDriver final : public platform::IDriver {
 public:
  explicit RecordingDriver(platform::IDriver& inner) : m_inner(inner) {}

  std::vector<DriverCall> Calls() const;
  std::vector<DriverCall> VendorCalls(std::uint8_t requestCode) const;
  std::vector<std::size_t> BulkLengths(std::uint32_t pipe) const;
  // The vendor request codes in the order sent.
  std::vector<std::uint8_t> VendorSequence() const;
  void Clear();

  platform::DeviceHandle Open(std::string_view devicePath) override;
  bool DeviceIoControl(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) override;
  void CancelIo(platform::DeviceHandle handle) override;
  void Close(platform::DeviceHandle handle) override;

 private:
  void Add(DriverCall call);

  platform::IDriver& m_inner;
  mutable std::mutex m_mutex;
  std::vector<DriverCall> m_calls;
};

}  // namespace camera_test
