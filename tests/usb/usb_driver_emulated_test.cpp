// The libusb backend against cameras emulated at the usbfs level.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "emulated_camera.h"
#include "platform/driver_records.h"
#include "platform/usb/libusb_driver.h"
#include "platform/usb/usb_driver.h"

namespace {

using platform::DeviceHandle;
using platform::DevicePath;
using platform::TransferDirection;
using platform::usb::LibusbDriver;
using platform::usb::UsbDriverOptions;
using platform::usb::UsbError;
using usbtest::BulkMode;
using usbtest::CameraSpec;
using usbtest::EmulatedBus;
using usbtest::EmulatedCamera;

// Waits for something the emulated camera's thread does; the test's CTest
// time-out catches it never happening.
template <typename Condition>
void WaitUntil(Condition condition) {
  while (!condition()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

class EmulatedUsbTest : public ::testing::Test {
 protected:
  std::shared_ptr<LibusbDriver> StartDriver(UsbDriverOptions options = {}) {
    options.verbose = true;
    return StartQuietDriver(std::move(options));
  }

  std::shared_ptr<LibusbDriver> StartQuietDriver(UsbDriverOptions options) {
    options.log = [this](std::string_view line) {
      std::lock_guard guard(m_logLock);
      m_log.emplace_back(line);
    };
    auto driver = LibusbDriver::Create(options);
    EXPECT_NE(driver, nullptr);
    return driver;
  }

  bool LogMentions(std::string_view text) {
    std::lock_guard guard(m_logLock);
    for (const std::string& line : m_log) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  static bool Vendor(platform::IDriver& driver, DeviceHandle handle, std::uint8_t code, TransferDirection direction,
                     std::span<std::uint8_t> data, std::uint32_t& bytes, std::uint16_t value = 0,
                     std::uint16_t index = 0) {
    platform::VendorRequestBlock block;
    block.transferDirection = direction;
    block.requestCode = code;
    block.wValue = value;
    block.wIndex = index;
    const auto record = block.Encode();
    return driver.DeviceIoControl(handle, platform::kVendorRequestIoctl, record, data, bytes);
  }

  static bool Read(platform::IDriver& driver, DeviceHandle handle, std::uint32_t pipe, std::span<std::uint8_t> data,
                   std::uint32_t& bytes) {
    return platform::ReadBulkPipe(driver, handle, pipe, data, bytes);
  }

  // Sends one vendor request and says which of the cameras saw it.
  static int Recipient(platform::IDriver& driver, DeviceHandle handle, std::vector<EmulatedCamera*> cameras) {
    std::vector<std::size_t> before;
    for (EmulatedCamera* camera : cameras) before.push_back(camera->ControlRequests().size());
    std::uint32_t bytes = 0;
    if (!Vendor(driver, handle, 0xB4, TransferDirection::HostToDevice, {}, bytes)) return -1;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
      if (cameras[i]->ControlRequests().size() != before[i]) return static_cast<int>(i);
    }
    return -1;
  }

  EmulatedBus m_bus;  // before any driver: libusb must find the testbed at start-up
  std::mutex m_logLock;
  std::vector<std::string> m_log;
};

TEST_F(EmulatedUsbTest, VendorRequestsCarryTheirSetupFieldsAndData) {
  EmulatedCamera& camera = m_bus.Add({});
  camera.SetReply(0xB0, {0x02, 0x11, 0x22});
  auto driver = StartDriver();
  const DeviceHandle handle = driver->Open(DevicePath(0));
  ASSERT_NE(handle, DeviceHandle::Null);

  std::vector<std::uint8_t> command{0xAA, 0x01, 0x02, 0x03, 0x04, 0x05, 0xA5};
  std::uint32_t bytes = 99;
  ASSERT_TRUE(Vendor(*driver, handle, 0xBC, TransferDirection::HostToDevice, command, bytes));
  EXPECT_EQ(bytes, 7u);

  std::vector<std::uint8_t> reply(20, 0);
  ASSERT_TRUE(Vendor(*driver, handle, 0xB0, TransferDirection::DeviceToHost, reply, bytes, 0x1234, 0xBEEF));
  EXPECT_EQ(bytes, 3u);
  EXPECT_EQ(reply[0], 0x02);
  EXPECT_EQ(reply[2], 0x22);
  EXPECT_EQ(reply[3], 0x00) << "bytes beyond the reply stay untouched";

  ASSERT_TRUE(Vendor(*driver, handle, 0xB4, TransferDirection::HostToDevice, {}, bytes));
  EXPECT_EQ(bytes, 0u);

  const auto requests = camera.ControlRequests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].requestType, 0x40);  // vendor, device, host to device
  EXPECT_EQ(requests[0].request, 0xBC);
  EXPECT_EQ(requests[0].value, 0);
  EXPECT_EQ(requests[0].index, 0);
  EXPECT_EQ(requests[0].length, 7);
  EXPECT_EQ(requests[0].data, command);
  EXPECT_EQ(requests[1].requestType, 0xC0);  // vendor, device, device to host
  EXPECT_EQ(requests[1].request, 0xB0);
  EXPECT_EQ(requests[1].value, 0x1234);
  EXPECT_EQ(requests[1].index, 0xBEEF);
  EXPECT_EQ(requests[1].length, 20);
  EXPECT_EQ(requests[2].request, 0xB4);
  EXPECT_EQ(requests[2].length, 0);
  driver->Close(handle);
}

TEST_F(EmulatedUsbTest, CamerasAreNumberedByBusThenPortAmongListedIdsOnly) {
  EmulatedCamera& onBus2 =
      m_bus.Add({.vendorId = 0x04b4, .productId = 0x8613, .bus = 2, .address = 3, .portPath = "1"});
  EmulatedCamera& port3 = m_bus.Add({.vendorId = 0x0547, .productId = 0x2131, .bus = 1, .address = 4, .portPath = "3"});
  EmulatedCamera& port2 = m_bus.Add({.vendorId = 0x1234, .productId = 0x5678, .bus = 1, .address = 9, .portPath = "2"});
  m_bus.Add({.vendorId = 0x046d, .productId = 0xc077, .bus = 1, .address = 5, .portPath = "1"});
  const std::vector<EmulatedCamera*> cameras{&onBus2, &port3, &port2};

  {
    auto driver = StartDriver();
    const DeviceHandle first = driver->Open(DevicePath(0));
    const DeviceHandle second = driver->Open(DevicePath(1));
    EXPECT_EQ(Recipient(*driver, first, cameras), 1);
    EXPECT_EQ(Recipient(*driver, second, cameras), 0);
    EXPECT_EQ(driver->Open(DevicePath(2)), DeviceHandle::Null) << "1234:5678 is not on the default list";
    EXPECT_EQ(LibusbDriver::LastOpenError(), UsbError::NoSuchDevice);
    EXPECT_EQ(driver->Open("\\\\.\\EZUSB-32"), DeviceHandle::Null);
    EXPECT_EQ(driver->Open("EZUSB-0"), DeviceHandle::Null);
    driver->Close(first);
    driver->Close(second);
  }

  UsbDriverOptions options;
  options.extraIds = {{0x1234, 0x5678}, {0x04b4, 0x8613}};  // a repeat of a default changes nothing
  auto driver = StartDriver(options);
  std::vector<int> order;
  for (int n = 0; n < 3; ++n) {
    const DeviceHandle handle = driver->Open(DevicePath(n));
    order.push_back(Recipient(*driver, handle, cameras));
    driver->Close(handle);
  }
  EXPECT_EQ(order, (std::vector<int>{2, 1, 0})) << "port 2 comes before port 3 although its address is higher";
  EXPECT_EQ(driver->Open(DevicePath(3)), DeviceHandle::Null);
}

TEST_F(EmulatedUsbTest, ACameraKeepsItsNumberWhileAnotherComesAndGoes) {
  EmulatedCamera& first = m_bus.Add({.bus = 1, .address = 2, .portPath = "1"});
  EmulatedCamera& second = m_bus.Add({.bus = 1, .address = 3, .portPath = "2"});
  auto driver = StartDriver();
  const DeviceHandle held = driver->Open(DevicePath(1));
  ASSERT_EQ(Recipient(*driver, held, {&first, &second}), 1);

  first.Unplug();
  auto opens = [&](int number) {
    const DeviceHandle probe = driver->Open(DevicePath(number));
    driver->Close(probe);
    return probe != DeviceHandle::Null;
  };
  WaitUntil([&] { return !opens(0); });
  const DeviceHandle again = driver->Open(DevicePath(1));
  EXPECT_EQ(Recipient(*driver, again, {&first, &second}), 1) << "the second camera is still number 1";

  EmulatedCamera& third = m_bus.Add({.bus = 1, .address = 4, .portPath = "3"});
  WaitUntil([&] { return opens(0); });
  const DeviceHandle newcomer = driver->Open(DevicePath(0));
  EXPECT_EQ(Recipient(*driver, newcomer, {&second, &third}), 1) << "a newcomer takes the free number";
  for (DeviceHandle handle : {held, again, newcomer}) driver->Close(handle);
}

TEST_F(EmulatedUsbTest, HandlesOnOneCameraShareOneClaim) {
  EmulatedCamera& camera = m_bus.Add({});
  auto driver = StartDriver();
  const DeviceHandle a = driver->Open(DevicePath(0));
  const DeviceHandle b = driver->Open(DevicePath(0));
  ASSERT_NE(a, DeviceHandle::Null);
  ASSERT_NE(b, DeviceHandle::Null);
  EXPECT_NE(a, b);
  EXPECT_EQ(camera.ClaimCount(), 1);

  driver->Close(a);
  EXPECT_EQ(camera.ReleaseCount(), 0) << "b still holds the camera";
  std::uint32_t bytes = 0;
  EXPECT_FALSE(Vendor(*driver, a, 0xB4, TransferDirection::HostToDevice, {}, bytes)) << "a is closed";
  EXPECT_TRUE(Vendor(*driver, b, 0xB4, TransferDirection::HostToDevice, {}, bytes));
  driver->Close(a);  // a second close is ignored
  driver->Close(DeviceHandle::Null);
  driver->Close(b);
  EXPECT_EQ(camera.ReleaseCount(), 1);

  const DeviceHandle again = driver->Open(DevicePath(0));
  EXPECT_NE(again, DeviceHandle::Null);
  EXPECT_EQ(camera.ClaimCount(), 2);
  driver.reset();  // the driver closes what is left open
  EXPECT_EQ(camera.ReleaseCount(), 2);
}

TEST_F(EmulatedUsbTest, BulkPipesFollowTheInterfaceEndpointOrderUpToTheDriverLimit) {
  EmulatedCamera& camera = m_bus.Add({.endpoints = {0x86, 0x82, 0x02, 0x88, 0x84}});
  auto driver = StartDriver();
  const DeviceHandle handle = driver->Open(DevicePath(0));
  ASSERT_NE(handle, DeviceHandle::Null);

  std::vector<std::uint8_t> buffer(platform::kMaxBulkReadBytes + 1, 0);
  std::span<std::uint8_t> largest(buffer.data(), platform::kMaxBulkReadBytes);
  std::uint32_t bytes = 0;
  ASSERT_TRUE(Read(*driver, handle, 0, largest, bytes));
  EXPECT_EQ(bytes, platform::kMaxBulkReadBytes);
  EXPECT_EQ(buffer[0], 0x86);
  EXPECT_EQ(buffer[platform::kMaxBulkReadBytes - 1], static_cast<std::uint8_t>(0x86 + 65023));
  EXPECT_EQ(buffer[platform::kMaxBulkReadBytes], 0) << "nothing written past the request";

  std::array<std::uint8_t, 64> small{};
  ASSERT_TRUE(Read(*driver, handle, 1, small, bytes));
  EXPECT_EQ(small[0], 0x82);
  ASSERT_TRUE(Read(*driver, handle, 3, small, bytes));
  EXPECT_EQ(small[0], 0x88);
  ASSERT_TRUE(Read(*driver, handle, 4, small, bytes));
  EXPECT_EQ(small[0], 0x84);

  const std::size_t sent = camera.BulkRequests().size();
  EXPECT_FALSE(Read(*driver, handle, 0, buffer, bytes)) << "65,025 bytes is above the limit";
  EXPECT_EQ(bytes, 0u);
  EXPECT_FALSE(Read(*driver, handle, 2, small, bytes)) << "pipe 2 is an OUT endpoint";
  EXPECT_FALSE(Read(*driver, handle, 5, small, bytes)) << "there is no pipe 5";
  const std::array<std::uint8_t, 3> shortRecord{0, 0, 0};
  EXPECT_FALSE(driver->DeviceIoControl(handle, platform::kBulkReadIoctl, shortRecord, small, bytes));
  EXPECT_FALSE(driver->DeviceIoControl(handle, 0x00222000, shortRecord, small, bytes)) << "unknown code";
  EXPECT_EQ(camera.BulkRequests().size(), sent) << "refused reads never reach the camera";

  const auto requests = camera.BulkRequests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].length, 65024);
  // Pipes 0, 1, 3 and 4 each read their own IN endpoint, in descriptor order.
  std::vector<std::uint8_t> endpoints;
  for (const usbtest::BulkRequest& request : requests) endpoints.push_back(request.endpoint);
  EXPECT_EQ(endpoints, (std::vector<std::uint8_t>{0x86, 0x82, 0x88, 0x84}));
  driver->Close(handle);
}

TEST_F(EmulatedUsbTest, FourReadersOnTheirOwnHandlesEachGetTheirPipe) {
  m_bus.Add({});
  auto driver = StartQuietDriver({});
  constexpr std::array<std::uint8_t, 4> kEndpoints{0x82, 0x84, 0x86, 0x88};
  std::array<std::atomic<int>, 4> wrongBytes{};
  std::vector<std::thread> readers;
  for (std::uint32_t pipe = 0; pipe < 4; ++pipe) {
    readers.emplace_back([&, pipe] {
      const DeviceHandle handle = driver->Open(DevicePath(0));
      std::vector<std::uint8_t> share(platform::kMaxBulkReadBytes);
      for (int piece = 0; piece < 10; ++piece) {
        std::uint32_t bytes = 0;
        if (!Read(*driver, handle, pipe, share, bytes) || bytes != share.size()) ++wrongBytes[pipe];
        if (share[0] != kEndpoints[pipe] || share[100] != static_cast<std::uint8_t>(kEndpoints[pipe] + 100)) {
          ++wrongBytes[pipe];
        }
      }
      driver->Close(handle);
    });
  }
  for (std::thread& reader : readers) reader.join();
  for (const auto& wrong : wrongBytes) EXPECT_EQ(wrong.load(), 0);
}

TEST_F(EmulatedUsbTest, AReadTheCameraNeverAnswersTimesOutAndTheHandleStaysUsable) {
  EmulatedCamera& camera = m_bus.Add({});
  camera.SetBulkMode(BulkMode::Hold);
  UsbDriverOptions options;
  // Long enough for the answered read after it to get through the emulated bus on a loaded machine.
  options.bulkTimeout = std::chrono::milliseconds(500);
  auto driver = StartDriver(options);
  const DeviceHandle handle = driver->Open(DevicePath(0));
  std::vector<std::uint8_t> buffer(4096);
  std::uint32_t bytes = 7;
  EXPECT_FALSE(Read(*driver, handle, 0, buffer, bytes));
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(camera.DiscardCount(), 1);
  EXPECT_TRUE(LogMentions("did not answer in time"));

  camera.SetBulkMode(BulkMode::Fill);
  EXPECT_TRUE(Read(*driver, handle, 0, buffer, bytes));
  EXPECT_EQ(bytes, buffer.size());
  driver->Close(handle);
}

TEST_F(EmulatedUsbTest, AVendorRequestTheCameraNeverAnswersTimesOutLeavingTheBufferAlone) {
  EmulatedCamera& camera = m_bus.Add({});
  camera.SetControlInUnanswered(true);
  UsbDriverOptions options;
  options.controlTimeout = std::chrono::milliseconds(50);
  auto driver = StartDriver(options);
  const DeviceHandle handle = driver->Open(DevicePath(0));
  std::array<std::uint8_t, 20> reply{};
  std::uint32_t bytes = 7;
  EXPECT_FALSE(Vendor(*driver, handle, 0xB0, TransferDirection::DeviceToHost, reply, bytes));
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(reply, (std::array<std::uint8_t, 20>{}));
  EXPECT_EQ(camera.DiscardCount(), 1);
  driver->Close(handle);
}

TEST_F(EmulatedUsbTest, AHaltedPipeFailsTheReadAndIsClearedForTheNext) {
  EmulatedCamera& camera = m_bus.Add({});
  camera.SetBulkMode(BulkMode::Stall);
  auto driver = StartDriver();
  const DeviceHandle handle = driver->Open(DevicePath(0));
  std::array<std::uint8_t, 512> buffer{};
  std::uint32_t bytes = 0;
  EXPECT_FALSE(Read(*driver, handle, 2, buffer, bytes));
  EXPECT_EQ(camera.ClearedHalts(), (std::vector<std::uint8_t>{0x86}));
  EXPECT_TRUE(Read(*driver, handle, 2, buffer, bytes));
  driver->Close(handle);
}

class BlockedReadTest : public EmulatedUsbTest {
 protected:
  void StartBlockedRead() {
    m_camera = &m_bus.Add({});
    m_camera->SetBulkMode(BulkMode::Hold);
    UsbDriverOptions options;
    options.bulkTimeout = std::chrono::hours(1);  // only cancellation can end the read
    m_driver = StartDriver(options);
    m_reading = m_driver->Open(DevicePath(0));
    m_control = m_driver->Open(DevicePath(0));
    ASSERT_NE(m_reading, DeviceHandle::Null);
    m_reader = std::thread([this] {
      std::vector<std::uint8_t> buffer(platform::kMaxBulkReadBytes);
      std::uint32_t bytes = 0;
      m_readResult = Read(*m_driver, m_reading, 1, buffer, bytes) ? 1 : 0;
    });
    WaitUntil([this] { return m_camera->PendingCount() == 1; });
  }

  void TearDown() override {
    if (m_reader.joinable()) m_reader.join();
  }

  EmulatedCamera* m_camera = nullptr;
  std::shared_ptr<LibusbDriver> m_driver;
  DeviceHandle m_reading = DeviceHandle::Null;
  DeviceHandle m_control = DeviceHandle::Null;
  std::thread m_reader;
  std::atomic<int> m_readResult{-1};
};

TEST_F(BlockedReadTest, CancelIoEndsThePendingReadButKeepsTheHandle) {
  StartBlockedRead();
  m_driver->CancelIo(m_reading);
  m_reader.join();
  EXPECT_EQ(m_readResult.load(), 0);
  EXPECT_EQ(m_camera->DiscardCount(), 1);

  m_camera->SetBulkMode(BulkMode::Fill);
  std::array<std::uint8_t, 512> buffer{};
  std::uint32_t bytes = 0;
  EXPECT_TRUE(Read(*m_driver, m_reading, 1, buffer, bytes));
  EXPECT_EQ(buffer[0], 0x84);
}

TEST_F(BlockedReadTest, ClosingTheHandleEndsThePendingRead) {
  StartBlockedRead();
  m_driver->Close(m_reading);
  m_reader.join();
  EXPECT_EQ(m_readResult.load(), 0);
  EXPECT_EQ(m_camera->ReleaseCount(), 0) << "the control handle still holds the camera";
  std::uint32_t bytes = 0;
  EXPECT_TRUE(Vendor(*m_driver, m_control, 0xB0, TransferDirection::DeviceToHost, {}, bytes));
  m_driver->Close(m_control);
  EXPECT_EQ(m_camera->ReleaseCount(), 1);
}

TEST_F(BlockedReadTest, UnplugFailsThePendingReadAndEveryLaterCall) {
  StartBlockedRead();
  m_camera->Unplug();
  m_reader.join();
  EXPECT_EQ(m_readResult.load(), 0);
  EXPECT_TRUE(LogMentions("disconnected"));

  std::array<std::uint8_t, 20> reply{};
  std::uint32_t bytes = 0;
  EXPECT_FALSE(Vendor(*m_driver, m_control, 0xB0, TransferDirection::DeviceToHost, reply, bytes));
  EXPECT_FALSE(Read(*m_driver, m_reading, 1, reply, bytes));
  // The device leaves libusb's list when its hot-plug thread sees the removal.
  WaitUntil([this] {
    const DeviceHandle probe = m_driver->Open(DevicePath(0));
    m_driver->Close(probe);
    return probe == DeviceHandle::Null;
  });
  m_driver->Close(m_reading);
  m_driver->Close(m_control);
}

TEST_F(EmulatedUsbTest, ACameraClaimedByAnotherProgramIsNotOpenedAndTheNextOneIs) {
  EmulatedCamera& held = m_bus.Add({.bus = 1, .address = 2, .portPath = "1"});
  EmulatedCamera& free = m_bus.Add({.bus = 1, .address = 3, .portPath = "2"});
  held.SetClaimedElsewhere(true);
  auto driver = StartDriver();
  EXPECT_EQ(driver->Open(DevicePath(0)), DeviceHandle::Null);
  EXPECT_EQ(LibusbDriver::LastOpenError(), UsbError::Busy);
  EXPECT_TRUE(LogMentions("in use by another program"));
  const DeviceHandle handle = driver->Open(DevicePath(1));
  ASSERT_NE(handle, DeviceHandle::Null);
  EXPECT_EQ(Recipient(*driver, handle, {&held, &free}), 1);
  driver->Close(handle);

  held.SetClaimedElsewhere(false);
  const DeviceHandle later = driver->Open(DevicePath(0));
  EXPECT_NE(later, DeviceHandle::Null) << "free again once the other program lets go";
  driver->Close(later);
}

TEST_F(EmulatedUsbTest, NothingIsLoggedUnlessVerbose) {
  m_bus.Add({});
  UsbDriverOptions options;
  options.verbose = false;
  auto driver = StartQuietDriver(options);
  const DeviceHandle handle = driver->Open(DevicePath(0));
  std::uint32_t bytes = 0;
  EXPECT_TRUE(Vendor(*driver, handle, 0xB4, TransferDirection::HostToDevice, {}, bytes));
  EXPECT_EQ(driver->Open(DevicePath(5)), DeviceHandle::Null);
  driver->Close(handle);
  std::lock_guard guard(m_logLock);
  EXPECT_TRUE(m_log.empty());
}

}  // namespace
