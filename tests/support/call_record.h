// Every call a driver sees, decoded from its request records, in the order
// made: opens with their paths, closes, cancels, vendor requests with their
// data, bulk reads with their lengths. Safe to add to from several threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/driver.h"
#include "platform/driver_records.h"

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

struct DriverCall {
  enum class Kind { Open, Close, Cancel, Vendor, Bulk, Unknown };
  Kind kind = Kind::Unknown;
  platform::DeviceHandle handle = platform::DeviceHandle::Null;  // the handle used, or the one Open gave
  std::string path;                                              // Open only
  std::optional<platform::VendorRequestBlock> vendor;
  std::uint32_t pipe = 0;
  std::size_t length = 0;  // data stage length
  Bytes data;              // bytes sent (out) or received (in)
  bool ok = false;
  std::chrono::steady_clock::time_point at;
};

class CallRecord {
 public:
  std::vector<DriverCall> Calls() const;
  std::vector<DriverCall> VendorCalls(std::uint8_t requestCode) const;
  std::vector<std::size_t> BulkLengths(std::uint32_t pipe) const;
  std::vector<std::uint8_t> VendorSequence() const;  // request codes in the order sent
  std::vector<Bytes> Commands() const;               // command frames (0xBC) in the order sent
  void Clear();

 protected:
  // A device-control call before it is made (the request decoded, the bytes
  // to send kept), and the same call with its outcome.
  static DriverCall Before(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                           std::span<const std::uint8_t> buffer);
  void After(DriverCall call, bool ok, std::span<const std::uint8_t> buffer, std::uint32_t bytesReturned);
  void Add(DriverCall call);

 private:
  mutable std::mutex m_mutex;
  std::vector<DriverCall> m_calls;
};

}  // namespace test_support
