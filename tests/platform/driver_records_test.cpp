// The driver's request records byte for byte, device paths, and the backend slot.
#include "platform/driver_records.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/driver.h"

namespace {

using namespace platform;

TEST(PlatformRecords, VendorRequestBlockIsTenBytesLittleEndian) {
  VendorRequestBlock block;
  block.transferDirection = TransferDirection::DeviceToHost;
  block.requestCode = 0xB0;
  block.wValue = 0x1234;
  block.wIndex = 0xABCD;
  const auto bytes = block.Encode();
  static_assert(bytes.size() == 10);
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 10>{1, 2, 0, 0, 0xB0, 0, 0x34, 0x12, 0xCD, 0xAB}));

  const auto out = VendorRequestBlock{}.Encode();
  EXPECT_EQ(out[0], 0) << "host to device";
  EXPECT_EQ(out[1], 2) << "vendor request";

  auto decoded = VendorRequestBlock::Decode(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->transferDirection, TransferDirection::DeviceToHost);
  EXPECT_EQ(decoded->requestCode, 0xB0);
  EXPECT_EQ(decoded->wValue, 0x1234);
  EXPECT_EQ(decoded->wIndex, 0xABCD);
  auto padded = bytes;
  padded[5] = 0x77;  // padding is not interpreted
  EXPECT_EQ(VendorRequestBlock::Decode(padded)->Encode(), bytes);
  EXPECT_FALSE(VendorRequestBlock::Decode(std::span(bytes).first(9)));
}

TEST(PlatformRecords, BulkReadBlockIsFourBytes) {
  const auto bytes = BulkReadBlock{0x01020304}.Encode();
  EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{4, 3, 2, 1}));
  EXPECT_EQ(BulkReadBlock::Decode(bytes)->pipeIndex, 0x01020304u);
  EXPECT_EQ(BulkReadBlock::Decode(BulkReadBlock{3}.Encode())->pipeIndex, 3u);
  EXPECT_FALSE(BulkReadBlock::Decode(std::span(bytes).first(3)));
}

TEST(PlatformRecords, ControlCodes) {
  // Device type 0x22, any access; function and transfer method in the low bits.
  EXPECT_EQ(kVendorRequestIoctl, (0x22u << 16) | (0x816u << 2) | 1u);
  EXPECT_EQ(kBulkReadIoctl, (0x22u << 16) | (0x813u << 2) | 2u);
  EXPECT_EQ(kMaxBulkReadBytes, 0xFE00u);
}

TEST(PlatformPaths, DevicePathAndNumber) {
  EXPECT_EQ(DevicePath(0), "\\\\.\\EZUSB-0");
  EXPECT_EQ(DevicePath(17), "\\\\.\\EZUSB-17");
  EXPECT_EQ(DeviceNumberFromPath(DevicePath(0)), 0);
  EXPECT_EQ(DeviceNumberFromPath(DevicePath(31)), 31);
  for (const char* bad : {"\\\\.\\EZUSB-32", "\\\\.\\EZUSB-01", "\\\\.\\EZUSB--1", "\\\\.\\EZUSB-", "\\\\.\\EZUSB-3x",
                          "\\\\.\\EZUSB-100", "EZUSB-3", "\\\\.\\ezusb-3", "", "\\\\.\\EZUSB- 3"}) {
    EXPECT_EQ(DeviceNumberFromPath(bad), -1) << bad;
  }
}

class OneDevice final : public IDriver {
 public:
  DeviceHandle Open(std::string_view path) override {
    return DeviceNumberFromPath(path) == 0 ? static_cast<DeviceHandle>(1) : DeviceHandle::Null;
  }
  bool DeviceIoControl(DeviceHandle h, std::uint32_t code, std::span<const std::uint8_t> input,
                       std::span<std::uint8_t> buffer, std::uint32_t& bytesReturned) override {
    lastCode = code;
    lastInput.assign(input.begin(), input.end());
    bytesReturned = static_cast<std::uint32_t>(buffer.size());
    return h == static_cast<DeviceHandle>(1);
  }
  void CancelIo(DeviceHandle) override {}
  void Close(DeviceHandle) override {}
  std::uint32_t lastCode = 0;
  std::vector<std::uint8_t> lastInput;
};

TEST(PlatformDriver, InstalledBackendAndTheRequestHelpers) {
  EXPECT_EQ(CurrentDriver().Open(DevicePath(0)), DeviceHandle::Null) << "nothing installed: no devices";
  auto driver = std::make_shared<OneDevice>();
  InstallDriver(driver);
  IDriver& current = CurrentDriver();
  const DeviceHandle h = current.Open(DevicePath(0));
  EXPECT_NE(h, DeviceHandle::Null);

  std::array<std::uint8_t, 20> data{};
  std::uint32_t got = 0;
  EXPECT_TRUE(SendVendorRequest(current, h, 0xB0, TransferDirection::DeviceToHost, data, got));
  EXPECT_EQ(driver->lastCode, kVendorRequestIoctl);
  EXPECT_EQ(driver->lastInput, (std::vector<std::uint8_t>{1, 2, 0, 0, 0xB0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(got, 20u);
  EXPECT_TRUE(ReadBulkPipe(current, h, 2, data, got));
  EXPECT_EQ(driver->lastCode, kBulkReadIoctl);
  EXPECT_EQ(driver->lastInput, (std::vector<std::uint8_t>{2, 0, 0, 0}));

  InstallDriver(nullptr);
  EXPECT_EQ(CurrentDriver().Open(DevicePath(0)), DeviceHandle::Null);
  EXPECT_EQ(driver.use_count(), 1) << "the slot let go of the old backend";
}

}  // namespace
