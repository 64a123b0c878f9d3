// Finding, claiming, opening and closing the camera, and the small queries.
#include <algorithm>
#include <atomic>
#include <thread>

#include "camera/frame_layout.h"
#include "link_fixture.h"
#include "platform/device_claim.h"

namespace camera_test {
namespace {

using Kind = DriverCall::Kind;
using platform::DeviceHandle;

TEST_F(LinkTest, OpenClaimsTheFirstCameraSendsAttachOnTheSecondHandleAndStartsFourReaders) {
  ASSERT_TRUE(link->Open());
  EXPECT_TRUE(link->IsOpen());
  EXPECT_EQ(link->DevicePath(), "\\\\.\\EZUSB-0");
  EXPECT_EQ(link->MutexName(), "EZUSB-0");

  const auto attach = camera.VendorCalls(0xBE);
  ASSERT_EQ(attach.size(), 1u);
  EXPECT_EQ(attach[0].handle, OpenedHandle(1)) << "0xBE goes through the second handle";
  EXPECT_EQ(attach[0].vendor->transferDirection, platform::TransferDirection::HostToDevice);
  EXPECT_EQ(attach[0].length, 0u);
  // Two handles of the link, one per reader.
  EXPECT_TRUE(Eventually([&] { return camera.OpenHandleCount() == 6; }));

  // The claim holds against every other holder of the name.
  std::uint32_t error = 0;
  EXPECT_EQ(platform::DeviceClaim::Create("EZUSB-0", error), nullptr);
  EXPECT_EQ(error, platform::kErrorAlreadyExists);
}

TEST_F(LinkTest, CameraClaimedElsewhereIsSkippedForTheNextFreeNumber) {
  camera.Attach(1);
  std::uint32_t error = 0;
  auto otherInstance = platform::DeviceClaim::Create("EZUSB-0", error);
  ASSERT_NE(otherInstance, nullptr);

  ASSERT_TRUE(link->Open());
  EXPECT_EQ(link->DevicePath(), "\\\\.\\EZUSB-1");
  EXPECT_EQ(link->MutexName(), "EZUSB-1");
  EXPECT_EQ(link->ErrorText(), "EZUSB-0 failed: GetLastError returned 183\n");

  const auto calls = camera.Calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[0].kind, Kind::Open);
  EXPECT_EQ(calls[0].path, "\\\\.\\EZUSB-0");
  EXPECT_EQ(calls[1].kind, Kind::Close) << "device 0's handle is closed before device 1 is tried";
  EXPECT_EQ(calls[1].handle, calls[0].handle);

  link->Close();
  EXPECT_EQ(camera.OpenHandleCount(), 0);
}

TEST_F(LinkTest, OpenOnAnOpenLinkChangesNothing) {
  ASSERT_TRUE(link->Open());
  ASSERT_TRUE(Eventually([&] { return camera.OpenHandleCount() == 6; }));
  const std::size_t callsBefore = camera.Calls().size();
  EXPECT_FALSE(link->Open());
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::AlreadyOpen);
  EXPECT_EQ(camera.Calls().size(), callsBefore);
  EXPECT_EQ(camera.OpenHandleCount(), 6);
  EXPECT_TRUE(link->IsOpen());
}

TEST_F(LinkTest, NumbersZeroToThirtyOneAreTriedAndNoMore) {
  camera.Unplug();
  EXPECT_FALSE(link->Open());
  EXPECT_FALSE(link->IsOpen());
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::NoFreeCamera);
  const auto calls = camera.Calls();
  ASSERT_EQ(calls.size(), 32u);
  EXPECT_EQ(calls.back().path, "\\\\.\\EZUSB-31");
  // The link stays closed: no request goes out.
  EXPECT_FALSE(link->QueryMode());
  EXPECT_FALSE(link->QueryHighSpeed());
  EXPECT_EQ(link->ReadReplyBytes(nullptr, 0), -1);
  EXPECT_EQ(camera.Calls().size(), 32u);
}

TEST(LinkNumbering, ThirtyOneIsTheLastNumberAndIsStillFound) {
  SimulatedCamera camera{PatternCamera()};  // device 0 is attached, but another instance holds it
  camera.Attach(31);
  CUsbCamera link(camera, CameraTiming{0.01});
  std::uint32_t error = 0;
  auto other = platform::DeviceClaim::Create("EZUSB-0", error);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(link.Open());
  EXPECT_EQ(link.DevicePath(), "\\\\.\\EZUSB-31");
  link.Close();
  EXPECT_EQ(camera.OpenHandleCount(), 0);
}

TEST_F(LinkTest, QueryModeAcceptsTheSixSizesOnly) {
  ASSERT_TRUE(link->Open());
  camera.SetVendorReply(0xB0, {5, 0xEE});
  ASSERT_TRUE(link->QueryMode());
  EXPECT_EQ(link->Picture().mode, 5);
  EXPECT_EQ(link->Picture().width, 400);
  EXPECT_EQ(link->Picture().height, 300);
  const auto query = camera.VendorCalls(0xB0);
  ASSERT_EQ(query.size(), 1u);
  EXPECT_EQ(query[0].handle, OpenedHandle(1));
  EXPECT_EQ(query[0].length, 20u);
  EXPECT_EQ(query[0].vendor->transferDirection, platform::TransferDirection::DeviceToHost);

  for (std::uint8_t code : {3, 7, 0x80, 0xFF}) {
    camera.SetVendorReply(0xB0, {code});
    EXPECT_FALSE(link->QueryMode()) << int(code);
    EXPECT_EQ(link->Picture().mode, static_cast<std::int8_t>(code));
    EXPECT_EQ(link->Picture().width, 400);
    EXPECT_EQ(link->Picture().height, 300);
  }
  const std::array<std::pair<int, int>, 6> sizes{{{640, 480}, {800, 600}, {1024, 768}, {0, 0}, {320, 240}, {512, 384}}};
  for (std::uint8_t code : {0, 1, 2, 4, 6}) {
    camera.SetVendorReply(0xB0, {code});
    ASSERT_TRUE(link->QueryMode());
    EXPECT_EQ(link->Picture().width, sizes[code < 5 ? code : 5].first);
    EXPECT_EQ(link->Picture().height, sizes[code < 5 ? code : 5].second);
  }
  // A request that fails, or succeeds without a byte, tells nothing.
  camera.SetVendorReply(0xB0, {});
  EXPECT_FALSE(link->QueryMode());
  camera.SetVendorReply(0xB0, {1});
  camera.FailRequests(0xB0, 1);
  EXPECT_FALSE(link->QueryMode());
  EXPECT_TRUE(link->QueryMode());
}

// The live-view worker sizes its buffer from the picture while the mode
// changes under it: mode and size are read together, never one without the other.
TEST_F(LinkTest, PictureIsNeverHalfOfAModeChange) {
  ASSERT_TRUE(link->Open());
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const CUsbCamera::PictureMode picture = link->Picture();
      const camera::FrameLayout* layout = camera::FindFrameLayout(picture.mode);
      if (!layout || layout->width != picture.width || layout->height != picture.height) torn.fetch_add(1);
    }
  });
  for (int i = 0; i < 400; ++i) {
    camera.SetVendorReply(0xB0, {static_cast<std::uint8_t>(i % 2 ? 2 : 4)});
    ASSERT_TRUE(link->QueryMode());
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

TEST_F(LinkTest, QueryHighSpeedReadsOneByte) {
  ASSERT_TRUE(link->Open());
  camera.SetVendorReply(0xB3, {1});
  EXPECT_TRUE(link->QueryHighSpeed());
  camera.SetVendorReply(0xB3, {0x40});
  EXPECT_TRUE(link->QueryHighSpeed());
  camera.SetVendorReply(0xB3, {0});
  EXPECT_FALSE(link->QueryHighSpeed());
  camera.SetVendorReply(0xB3, {});
  EXPECT_FALSE(link->QueryHighSpeed());
  camera.SetVendorReply(0xB3, {1});
  camera.FailRequests(0xB3, 1);
  EXPECT_FALSE(link->QueryHighSpeed());
  const auto query = camera.VendorCalls(0xB3);
  ASSERT_FALSE(query.empty());
  EXPECT_EQ(query[0].length, 1u);
  EXPECT_EQ(query[0].handle, OpenedHandle(1));
}

TEST_F(LinkTest, CloseReleasesEverythingOnceAndTheLinkOpensAgain) {
  ASSERT_TRUE(link->Open());
  link->Close();
  EXPECT_FALSE(link->IsOpen());
  EXPECT_FALSE(link->ReadersRunning());
  EXPECT_EQ(camera.OpenHandleCount(), 0);
  const std::size_t callsAfterClose = camera.Calls().size();
  link->Close();
  EXPECT_EQ(camera.Calls().size(), callsAfterClose) << "a second Close does nothing";

  // The claim went with the link.
  std::uint32_t error = 0;
  EXPECT_NE(platform::DeviceClaim::Create("EZUSB-0", error), nullptr);

  ASSERT_TRUE(link->Open());
  EXPECT_TRUE(link->ReadersRunning());
  EXPECT_TRUE(Eventually([&] { return camera.OpenHandleCount() == 6; }));
}

TEST_F(LinkTest, UnpluggedCameraClosesTheLinkAtTheNextCheck) {
  ASSERT_TRUE(link->Open());
  EXPECT_TRUE(link->CheckPresent());
  EXPECT_TRUE(link->IsOpen());
  camera.Unplug();
  EXPECT_FALSE(link->CheckPresent());
  EXPECT_FALSE(link->IsOpen());
  EXPECT_EQ(link->ReadReplyBytes(nullptr, 0), -1);
  std::array<std::uint8_t, 24> buffer{};
  EXPECT_EQ(link->ReadReplyBytes(buffer.data(), 24), -1);
  EXPECT_EQ(camera.OpenHandleCount(), 0);
  EXPECT_FALSE(link->CheckPresent());
}

TEST_F(LinkTest, CommandWriteOnAClosedLinkSendsAndLogsNothing) {
  const std::array<std::uint8_t, 7> frame{0xAA, 0x80, 0x00, 0x25, 0x01, 0xA6, 0xA5};
  link->WriteCommandBytes(frame.data(), 7);
  EXPECT_TRUE(camera.Calls().empty());
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(LinkTest, DestroyingAnOpenLinkStopsItsReaders) {
  ASSERT_TRUE(link->Open());
  ASSERT_TRUE(Eventually([&] { return camera.OpenHandleCount() == 6; }));
  link.reset();
  EXPECT_EQ(camera.OpenHandleCount(), 0);
}

TEST(CameraErrors, EveryErrorHasItsOwnText) {
  std::vector<std::string> texts;
  for (int e = 0; e <= static_cast<int>(camera::CameraError::RepeatsExhausted); ++e) {
    texts.emplace_back(camera::CameraErrorText(static_cast<camera::CameraError>(e)));
  }
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end());
}

TEST(CameraTimingScale, KeepsProportionsAndNeverShrinksToNothing) {
  EXPECT_EQ(CameraTiming{}.Ms(4000), 4000u);
  EXPECT_EQ(CameraTiming{0.01}.Ms(4000), 40u);
  EXPECT_EQ(CameraTiming{0.01}.Ms(3000), 30u);
  EXPECT_EQ(CameraTiming{0.001}.Ms(10), 1u);
  EXPECT_EQ(CameraTiming{0.5}.Ms(0), 0u);
}

}  // namespace
}  // namespace camera_test
