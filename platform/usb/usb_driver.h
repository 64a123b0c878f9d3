// The driver interface served by libusb, for real cameras on Linux.
//
// "\\.\EZUSB-n" names the n-th attached device whose vendor and product ids
// are on the camera list, counting in a stable order: by bus, then by port
// path. A camera keeps its number while it stays attached, even when one
// before it is unplugged; a camera plugged in later takes the lowest free
// number. Vendor requests become control transfers on the default pipe; bulk
// read pipe i is the i-th endpoint of the claimed interface, in the order its
// descriptor lists them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/driver.h"

namespace platform::usb {

struct UsbId {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;

  friend bool operator==(const UsbId&, const UsbId&) = default;
};

// The ids the camera's general-purpose driver serves out of the box, the
// classic EZ-USB development ids (60-tavrocam.rules lists the same):
//   0547:2131  EZ-USB (AN2131)      0547:2235  EZ-USB (AN2235)
//   04b4:8613  EZ-USB FX2           04b4:1004  EZ-USB FX2 bulk firmware
std::span<const UsbId> DefaultCameraIds();

// The default list plus `extra`, without repeats, defaults first.
std::vector<UsbId> CameraIdList(std::span<const UsbId> extra);

// "VVVV:PPPP" with four hexadecimal digits on each side, as lsusb shows it.
std::optional<UsbId> ParseUsbId(std::string_view text);
std::string FormatUsbId(UsbId id);

// Ids separated by spaces or commas, as a profile value holds them
// ("0547:2131, 1234:5678"). Empty when any of them is malformed.
std::optional<std::vector<UsbId>> ParseUsbIdList(std::string_view text);

struct UsbDriverOptions {
  // Ids added to the default list (the command line's --usb-id, the profile).
  std::vector<UsbId> extraIds;
  // The interface whose endpoints are the bulk pipes; claimed on first open.
  int interfaceNumber = 0;
  // Logs every open, transfer and failure for support (see `log`).
  bool verbose = false;
  // Where the verbose lines go; standard error when empty.
  std::function<void(std::string_view line)> log;
  // Vendor requests are short exchanges; a camera that does not answer
  // within this time is treated as failing.
  std::chrono::milliseconds controlTimeout{2000};
  // A bulk read waits this long for data. Longer than the frame fetch's own
  // stall recovery (8 s, then 4 s), so the recovery request gets its chance
  // before a reader gives up.
  std::chrono::milliseconds bulkTimeout{15000};
};

// The libusb backend, ready to InstallDriver. Empty when libusb cannot be
// started at all (no USB support on this system); installing an empty
// driver leaves the program without cameras, which it reports as usual.
std::shared_ptr<IDriver> CreateLibusbDriver(const UsbDriverOptions& options);

}  // namespace platform::usb
