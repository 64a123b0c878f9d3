#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "platform/usb/usb_driver.h"

namespace platform::usb {

namespace {

constexpr std::array<UsbId, 4> kDefaultIds{{
    {0x0547, 0x2131},
    {0x0547, 0x2235},
    {0x04b4, 0x8613},
    {0x04b4, 0x1004},
}};

std::optional<std::uint16_t> ParseHex16(std::string_view digits) {
  if (digits.size() != 4) return std::nullopt;
  std::uint16_t value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

std::span<const UsbId> DefaultCameraIds() { return kDefaultIds; }

std::vector<UsbId> CameraIdList(std::span<const UsbId> extra) {
  std::vector<UsbId> ids(kDefaultIds.begin(), kDefaultIds.end());
  for (const UsbId& id : extra) {
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  return ids;
}

std::optional<UsbId> ParseUsbId(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto vendor = ParseHex16(text.substr(0, colon));
  const auto product = ParseHex16(text.substr(colon + 1));
  if (!vendor || !product) return std::nullopt;
  return UsbId{*vendor, *product};
}

std::optional<std::vector<UsbId>> ParseUsbIdList(std::string_view text) {
  std::vector<UsbId> ids;
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t start = text.find_first_not_of(" ,", position);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find_first_of(" ,", start), text.size());
    const auto id = ParseUsbId(text.substr(start, end - start));
    if (!id) return std::nullopt;
    ids.push_back(*id);
    position = end;
  }
  return ids;
}

std::string FormatUsbId(UsbId id) {
  char text[10];
  std::snprintf(text, sizeof text, "%04x:%04x", static_cast<unsigned>(id.vendorId),
                static_cast<unsigned>(id.productId));
  return text;
}

}  // namespace platform::usb
