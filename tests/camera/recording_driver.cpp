#include "recording_driver.h"

namespace camera_test {

using platform::DeviceHandle;

void RecordingDriver::Add(DriverCall call) {
  call.at = std::chrono::steady_clock::now();
  std::lock_guard lock(m_mutex);
  m_calls.push_back(std::move(call));
}

std::vector<DriverCall> RecordingDriver::Calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

std::vector<DriverCall> RecordingDriver::VendorCalls(std::uint8_t requestCode) const {
  std::vector<DriverCall> out;
  for (const DriverCall& c : Calls()) {
    if (c.kind == DriverCall::Kind::Vendor && c.vendor->requestCode == requestCode) out.push_back(c);
  }
  return out;
}

std::vector<std::size_t> RecordingDriver::BulkLengths(std::uint32_t pipe) const {
  std::vector<std::size_t> out;
  for (const DriverCall& c : Calls()) {
    if (c.kind == DriverCall::Kind::Bulk && c.pipe == pipe) out.push_back(c.length);
  }
  return out;
}

std::vector<std::uint8_t> RecordingDriver::VendorSequence() const {
  std::vector<std::uint8_t> out;
  for (const DriverCall& c : Calls()) {
    if (c.kind == DriverCall::Kind::Vendor) out.push_back(c.vendor->requestCode);
  }
  return out;
}

void RecordingDriver::Clear() {
  std::lock_guard lock(m_mutex);
  m_calls.clear();
}

DeviceHandle RecordingDriver::Open(std::string_view devicePath) {
  const DeviceHandle h = m_inner.Open(devicePath);
  DriverCall call;
  call.kind = DriverCall::Kind::Open;
  call.handle = h;
  call.path = std::string(devicePath);
  call.ok = h != DeviceHandle::Null;
  Add(std::move(call));
  return h;
}

bool RecordingDriver::DeviceIoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                                      std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) {
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
  call.ok = m_inner.DeviceIoControl(handle, code, input, buffer, bytesReturned);
  if (call.kind == DriverCall::Kind::Vendor &&
      call.vendor->transferDirection == platform::TransferDirection::DeviceToHost && call.ok) {
    call.data.assign(buffer.begin(), buffer.begin() + std::min<std::size_t>(bytesReturned, buffer.size()));
  }
  const bool ok = call.ok;
  Add(std::move(call));
  return ok;
}

void RecordingDriver::CancelIo(DeviceHandle handle) {
  m_inner.CancelIo(handle);
  DriverCall call;
  call.kind = DriverCall::Kind::Cancel;
  call.handle = handle;
  Add(std::move(call));
}

void RecordingDriver::Close(DeviceHandle handle) {
  m_inner.Close(handle);
  DriverCall call;
  call.kind = DriverCall::Kind::Close;
  call.handle = handle;
  Add(std::move(call));
}

}  // namespace camera_test
