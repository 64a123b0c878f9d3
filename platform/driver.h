// The camera's general-purpose USB driver as the camera link sees it: device
// files "\\.\EZUSB-n" opened to handles, and one device-control call that
// carries a request record in and a data buffer in or out.
//
// Two backends implement it: the simulated camera (sim/) and libusb for real
// hardware. Backends decode the request records from their bytes, exactly as
// the driver would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// An open device file; Null while nothing is open.
enum class DeviceHandle : std::uintptr_t { Null = 0 };

inline constexpr std::uint32_t kVendorRequestIoctl = 0x00222059;  // function 0x816, METHOD_IN_DIRECT
inline constexpr std::uint32_t kBulkReadIoctl = 0x0022204E;       // function 0x813, METHOD_OUT_DIRECT

inline constexpr std::size_t kVendorRequestBlockSize = 10;
inline constexpr std::size_t kBulkReadBlockSize = 4;
inline constexpr std::uint32_t kMaxBulkReadBytes = 65024;  // 0xFE00, the driver's limit per call
inline constexpr int kMaxDeviceNumber = 31;

// "\\.\EZUSB-n"
std::string DevicePath(int number);
// The number in a device path, or -1 when the path is not "\\.\EZUSB-n" with n in 0..31.
int DeviceNumberFromPath(std::string_view path);

class IDriver {
 public:
  virtual ~IDriver() = default;

  // Opens a device file; Null when no such device is attached or it cannot be opened.
  virtual DeviceHandle Open(std::string_view devicePath) = 0;

  // One device-control call. `input` is the request record. `buffer` is the
  // data stage: received bytes for a device-to-host vendor request or a bulk
  // read, the bytes to send for a host-to-device vendor request, empty when
  // there is none. Answers success and sets bytesReturned to the bytes moved.
  // Fails for an unknown code, a short record, a bulk read above
  // kMaxBulkReadBytes, a Null or closed handle, an unplugged device or a
  // device error. A bulk read blocks until data arrives, the backend's
  // time-out passes or the call is cancelled.
  virtual bool DeviceIoControl(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> input,
                               std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) = 0;

  // Makes every call pending on this handle fail promptly; the handle stays open.
  virtual void CancelIo(DeviceHandle handle) = 0;

  // Cancels what is pending on the handle, then closes it. Null is ignored.
  virtual void Close(DeviceHandle handle) = 0;

  // How many devices were plugged in since the backend started, where it
  // hears of them (libusb's hot-plug notice); 0 where it cannot. Any thread.
  virtual std::uint64_t DeviceArrivals() const { return 0; }
};

// The backend chosen once at start-up (the simulated camera or libusb).
// Installing replaces the previous one; callers keep using the reference they
// took only while the backend they took it from is installed.
void InstallDriver(std::shared_ptr<IDriver> driver);
IDriver& CurrentDriver();
std::shared_ptr<IDriver> CurrentDriverShared();

}  // namespace platform
