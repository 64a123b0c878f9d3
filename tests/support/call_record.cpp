#include "call_record.h"

#include <algorithm>

namespace test_support {

DriverCall CallRecord::Before(platform::DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                              std::span<const std::uint8_t> buffer) {
  DriverCall call;
  call.handle = handle;
  call.length = buffer.size();
  if (code == platform::kVendorRequestIoctl && input.size() == platform::kVendorRequestBlockSize) {
    call.kind = DriverCall::Kind::Vendor;
    call.vendor = platform::VendorRequestBlock::Decode(input);
    if (call.vendor->transferDirection == platform::TransferDirection::HostToDevice) {
      call.data.assign(buffer.begin(), buffer.end());
    }
  } else if (code == platform::kBulkReadIoctl && input.size() == platform::kBulkReadBlockSize) {
    call.kind = DriverCall::Kind::Bulk;
    call.pipe = platform::BulkReadBlock::Decode(input)->pipeIndex;
  }
  return call;
}

void CallRecord::After(DriverCall call, bool ok, std::span<const std::uint8_t> buffer, std::uint32_t bytesReturned) {
  call.ok = ok;
  if (call.kind == DriverCall::Kind::Vendor &&
      call.vendor->transferDirection == platform::TransferDirection::DeviceToHost && ok) {
    call.data.assign(buffer.begin(), buffer.begin() + std::min<std::size_t>(bytesReturned, buffer.size()));
  }
  Add(std::move(call));
}

void CallRecord::Add(DriverCall call) {
  call.at = std::chrono::steady_clock::now();
  std::lock_guard lock(m_mutex);
  m_calls.push_back(std::move(call));
}

std::vector<DriverCall> CallRecord::Calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

std::vector<DriverCall> CallRecord::VendorCalls(std::uint8_t requestCode) const {
  std::vector<DriverCall> out;
  for (const DriverCall& c : Calls()) {
    if (c.kind == DriverCall::Kind::Vendor && c.vendor->requestCode == requestCode) out.push_back(c);
  }
  return out;
}

std::vector<std::size_t> CallRecord::BulkLengths(std::uint32_t pipe) const {
  std::vector<std::size_t> out;
  for (const DriverCall& c : Calls()) {
    if (c.kind == DriverCall::Kind::Bulk && c.pipe == pipe) out.push_back(c.length);
  }
  return out;
}

std::vector<std::uint8_t> CallRecord::VendorSequence() const {
  std::vector<std::uint8_t> out;
  for (const DriverCall& c : Calls()) {
    if (c.kind == DriverCall::Kind::Vendor) out.push_back(c.vendor->requestCode);
  }
  return out;
}

std::vector<Bytes> CallRecord::Commands() const {
  std::vector<Bytes> out;
  for (const DriverCall& c : Calls()) {
    if (c.kind == DriverCall::Kind::Vendor && c.ok && c.vendor->requestCode == 0xBC &&
        c.vendor->transferDirection == platform::TransferDirection::HostToDevice) {
      out.push_back(c.data);
    }
  }
  return out;
}

void CallRecord::Clear() {
  std::lock_guard lock(m_mutex);
  m_calls.clear();
}

}  // namespace test_support
