#include "platform/driver.h"

#include <charconv>
#include <mutex>

namespace platform {

namespace {

constexpr std::string_view kPathPrefix = "\\\\.\\EZUSB-";

// Answers every open with failure: the state before a backend is installed.
class NoDeviceDriver final : public IDriver {
 public:
  DeviceHandle Open(std::string_view) override { return DeviceHandle::Null; }
  bool DeviceIoControl(DeviceHandle, std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t>,
                       std::uint32_t& bytesReturned) override {
    bytesReturned = 0;
    return false;
  }
  void CancelIo(DeviceHandle) override {}
  void Close(DeviceHandle) override {}
};

std::mutex g_driverLock;
std::shared_ptr<IDriver> g_driver = std::make_shared<NoDeviceDriver>();

}  // namespace

std::string DevicePath(int number) { return std::string(kPathPrefix) + std::to_string(number); }

int DeviceNumberFromPath(std::string_view path) {
  if (!path.starts_with(kPathPrefix)) return -1;
  std::string_view digits = path.substr(kPathPrefix.size());
  if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) return -1;
  int number = -1;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || end != digits.data() + digits.size() || number < 0 || number > kMaxDeviceNumber) return -1;
  return number;
}

void InstallDriver(std::shared_ptr<IDriver> driver) {
  std::lock_guard guard(g_driverLock);
  g_driver = driver ? std::move(driver) : std::make_shared<NoDeviceDriver>();
}

IDriver& CurrentDriver() {
  std::lock_guard guard(g_driverLock);
  return *g_driver;
}

std::shared_ptr<IDriver> CurrentDriverShared() {
  std::lock_guard guard(g_driverLock);
  return g_driver;
}

}  // namespace platform
