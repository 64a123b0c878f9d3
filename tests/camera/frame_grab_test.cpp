// Fetching frames through the four readers: request sizes, the assembled
// picture, the stall recovery and give-up, and the link closing mid-frame.
#include <algorithm>
#include <future>

#include "camera/frame_layout.h"
#include "link_fixture.h"

namespace camera_test {
namespace {

using Kind = DriverCall::Kind;
using namespace std::chrono_literals;

class FrameGrabTest : public LinkTest {
 protected:
  void OpenInMode(int mode, bool highSpeed) {
    ASSERT_TRUE(link->Open());
    Prepare(mode, highSpeed);
  }
  void Prepare(int mode, bool highSpeed) {
    const camera::FrameLayout* layout = camera::FindFrameLayout(mode);
    camera.SetVendorReply(0xB0, {static_cast<std::uint8_t>(mode)});
    camera.SetFrameSize(layout->width, layout->height);
    ASSERT_TRUE(link->QueryMode());
    link->SetHighSpeed(highSpeed);
    frame.assign(CUsbCamera::kFrameBytes, kUntouched);
  }
  // Mode 2 with `pipe` silent for as long as the driver would wait.
  void OpenWithSilentPipe(std::uint32_t pipe) {
    camera.SetReadTimeout(10min);
    OpenInMode(2, true);
    camera.StallPipe(pipe, true);
  }
  std::future<bool> GrabOnAnotherThread() {
    return std::async(std::launch::async, [this] { return link->GrabFrame(frame.data()); });
  }
  bool Untouched() const {
    return std::all_of(frame.begin(), frame.end(), [](std::uint8_t b) { return b == kUntouched; });
  }
  std::vector<std::uint8_t> Delivered() const {
    return {frame.begin(),
            frame.begin() + 3 * static_cast<std::ptrdiff_t>(link->Picture().width * link->Picture().height)};
  }
  std::chrono::milliseconds Between(std::uint8_t first, std::uint8_t second) const {
    const auto a = camera.VendorCalls(first).back().at;
    const auto b = camera.VendorCalls(second).back().at;
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a);
  }

  static constexpr std::uint8_t kUntouched = 0xCD;
  std::vector<std::uint8_t> frame;
};

TEST_F(FrameGrabTest, NullDestinationIsRefusedBeforeTheStartRequest) {
  OpenInMode(2, true);
  EXPECT_FALSE(link->GrabFrame(nullptr));
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::NullDestination);
  EXPECT_TRUE(camera.VendorCalls(0xB4).empty());
}

TEST_F(FrameGrabTest, ModeWithoutASizeOrNotMatchingTheCallersSizeIsRefused) {
  OpenInMode(2, true);
  link->SetPicture({3, 1024, 768});
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  link->SetPicture({2, 640, 768});  // the caller's buffer would be sized for 640 x 480
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_TRUE(camera.VendorCalls(0xB4).empty());
  EXPECT_TRUE(Untouched());
}

TEST_F(FrameGrabTest, EveryOrientationDeliversTheOrientedPicture) {
  OpenInMode(2, true);
  for (int orientation : {0, 1, 2, 3, 5}) {
    link->SetOrientation(orientation);
    ASSERT_TRUE(link->GrabFrame(frame.data())) << orientation;
    EXPECT_TRUE(Delivered() == Oriented(camera.LastSentFrame(), orientation == 5 ? 0 : orientation)) << orientation;
  }
  // The plain version gives the same bytes.
  link->UsePlainAssembly(true);
  for (int orientation : {1, 2, 3}) {
    link->SetOrientation(orientation);
    ASSERT_TRUE(link->GrabFrame(frame.data()));
    EXPECT_TRUE(Delivered() == Oriented(camera.LastSentFrame(), orientation)) << "plain " << orientation;
  }
}

TEST_F(FrameGrabTest, FrameRequestsGoThroughTheRightHandles) {
  OpenInMode(0, true);
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  EXPECT_TRUE(Delivered() == camera.LastSentFrame().pixels);
  const auto start = camera.VendorCalls(0xB4);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].handle, OpenedHandle(1)) << "0xB4 goes through the second handle";
  EXPECT_EQ(start[0].length, 0u);
  EXPECT_EQ(start[0].vendor->transferDirection, platform::TransferDirection::HostToDevice);
  // Each pipe is read on a handle of its own, neither of the link's two.
  std::array<platform::DeviceHandle, 4> pipeHandle{};
  for (const DriverCall& c : camera.Calls()) {
    if (c.kind != Kind::Bulk) continue;
    EXPECT_NE(c.handle, OpenedHandle(0));
    EXPECT_NE(c.handle, OpenedHandle(1));
    if (pipeHandle[c.pipe] == platform::DeviceHandle::Null) pipeHandle[c.pipe] = c.handle;
    EXPECT_EQ(c.handle, pipeHandle[c.pipe]);
  }
  std::sort(pipeHandle.begin(), pipeHandle.end());
  EXPECT_EQ(std::unique(pipeHandle.begin(), pipeHandle.end()), pipeHandle.end());
}

TEST_F(FrameGrabTest, ReadersAskForTheirShareInPiecesOfAtMost65024Bytes) {
  OpenInMode(5, true);
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  EXPECT_TRUE(Delivered() == camera.LastSentFrame().pixels) << "short last reads still give the whole frame";
  for (std::uint32_t p = 0; p < 4; ++p) EXPECT_EQ(camera.BulkLengths(p), (std::vector<std::size_t>{65024, 26176}));

  camera.Clear();
  Prepare(5, false);
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  for (std::uint32_t p = 0; p < 4; ++p) EXPECT_EQ(camera.BulkLengths(p), (std::vector<std::size_t>{65024, 24960}));

  camera.Clear();
  Prepare(2, false);
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  std::vector<std::size_t> xga(9, 65024);
  xga.push_back(4608);
  for (std::uint32_t p = 0; p < 4; ++p) EXPECT_EQ(camera.BulkLengths(p), xga);
  EXPECT_TRUE(Delivered() == camera.LastSentFrame().pixels);
}

// A time-out never ends early, so the gaps between the requests are at least the limits.
TEST_F(FrameGrabTest, StalledPipeAtHighSpeedIsRecoveredOnceThenGivenUp) {
  camera.SetReadTimeout(10min);  // only cancelling can end the stuck read
  OpenInMode(2, true);
  camera.StallPipe(2, true);
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::TransferGivenUp);
  EXPECT_EQ(camera.VendorSequence(), (std::vector<std::uint8_t>{0xBE, 0xB0, 0xB4, 0xB5, 0xB7}));
  EXPECT_EQ(camera.VendorCalls(0xB5)[0].handle, OpenedHandle(0)) << "recovery goes through the first handle";
  EXPECT_EQ(camera.VendorCalls(0xB7)[0].handle, OpenedHandle(0));
  EXPECT_GE(Between(0xB4, 0xB5), FastMs(4000));
  EXPECT_GE(Between(0xB5, 0xB7), FastMs(3000));
  EXPECT_EQ(link->Aborted(), true);
  EXPECT_FALSE(link->ReadersRunning());
  EXPECT_TRUE(Untouched());

  // The readers end (the stalled one stays in its read): the next frame goes
  // through both limits again.
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_EQ(camera.VendorSequence(), (std::vector<std::uint8_t>{0xBE, 0xB0, 0xB4, 0xB5, 0xB7, 0xB4, 0xB5, 0xB7}));
  EXPECT_TRUE(Untouched());

  link->Close();
  EXPECT_EQ(camera.OpenHandleCount(), 0);
  EXPECT_EQ(camera.PendingBulkReads(), 0);
}

TEST_F(FrameGrabTest, StalledPipeAtFullSpeedWaitsTheLongerLimits) {
  camera.SetReadTimeout(10min);
  OpenInMode(6, false);
  camera.StallPipe(0, true);
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_EQ(camera.VendorSequence(), (std::vector<std::uint8_t>{0xBE, 0xB0, 0xB4, 0xB5, 0xB7}));
  EXPECT_GE(Between(0xB4, 0xB5), FastMs(8000));
  EXPECT_GE(Between(0xB5, 0xB7), FastMs(4000));
  EXPECT_EQ(link->Aborted(), true);
  EXPECT_FALSE(link->ReadersRunning());
}

TEST_F(FrameGrabTest, PipeFinishingDuringTheSecondWaitStillDeliversTheFrame) {
  MakeLink(0.1);  // waits of 400 and 300 ms
  OpenInMode(2, true);
  camera.DelayPipe(3, 550ms);
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  EXPECT_EQ(camera.VendorSequence(), (std::vector<std::uint8_t>{0xBE, 0xB0, 0xB4, 0xB5}));
  EXPECT_EQ(link->Aborted(), false);
  EXPECT_TRUE(Delivered() == camera.LastSentFrame().pixels);

  camera.DelayPipe(3, 0ms);
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  EXPECT_TRUE(Delivered() == camera.LastSentFrame().pixels);
}

TEST_F(FrameGrabTest, FailedBulkReadStopsTheReadersAndLeavesTheDestination) {
  // A first wait of a second: a reader held up by a loaded machine must not
  // look like a stall, which would ask for a recovery.
  MakeLink(0.25);
  OpenInMode(4, true);
  camera.FailBulkReads(1, 1);
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::TransferFailed);
  EXPECT_FALSE(link->ReadersRunning());
  EXPECT_EQ(link->Aborted(), false);
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(camera.VendorCalls(0xB5).empty());
  // Readers that finished their share before the failure wait for the next
  // start, see the readers stopped and end; the failed one never signals again.
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_TRUE(Untouched());
  EXPECT_TRUE(Eventually([&] { return camera.OpenHandleCount() == 2; })) << "every reader has ended";
  link->Close();
  EXPECT_EQ(camera.OpenHandleCount(), 0);
}

TEST_F(FrameGrabTest, FailedStartRequestStartsNoReader) {
  OpenInMode(4, true);
  camera.FailRequests(0xB4, 1);
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::DriverCallFailed);
  for (std::uint32_t p = 0; p < 4; ++p) EXPECT_TRUE(camera.BulkLengths(p).empty());
  EXPECT_TRUE(link->ReadersRunning());
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  EXPECT_TRUE(Delivered() == camera.LastSentFrame().pixels);
}

TEST_F(FrameGrabTest, UnplugDuringAFrameFailsItAndTheCheckClosesTheLink) {
  MakeLink(0.25);
  OpenWithSilentPipe(0);
  auto grab = GrabOnAnotherThread();
  ASSERT_TRUE(Eventually([&] { return camera.PendingBulkReads() == 1; }));
  camera.Unplug();
  EXPECT_FALSE(grab.get());
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::TransferFailed);
  EXPECT_TRUE(Untouched());
  EXPECT_FALSE(link->CheckPresent());
  EXPECT_FALSE(link->IsOpen());
  EXPECT_EQ(camera.OpenHandleCount(), 0);
}

// The panel's check may close the link while the worker waits for a frame:
// the frame ends at once with false, and no reader stays in its read.
TEST_F(FrameGrabTest, CloseDuringAFrameEndsItWithoutWaitingForTheLimits) {
  MakeLink(1.0);
  OpenWithSilentPipe(1);
  auto grab = GrabOnAnotherThread();
  ASSERT_TRUE(Eventually([&] { return camera.PendingBulkReads() == 1; }));
  link->Close();
  EXPECT_FALSE(grab.get());
  EXPECT_EQ(link->LastLinkError(), camera::CameraError::TransferFailed);
  EXPECT_TRUE(camera.VendorCalls(0xB5).empty()) << "the frame ended before the first limit";
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(camera.OpenHandleCount(), 0);
  EXPECT_EQ(camera.PendingBulkReads(), 0);
}

// Close must not close the control handle under a pending start request.
TEST_F(FrameGrabTest, CloseWhileTheStartRequestIsPending) {
  MakeLink(1.0);
  OpenInMode(2, true);
  camera.HoldRequests(0xB4, true);
  auto grab = GrabOnAnotherThread();
  std::this_thread::sleep_for(20ms);
  link->Close();
  EXPECT_FALSE(grab.get());
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(camera.OpenHandleCount(), 0);
  for (const DriverCall& c : camera.Calls()) {
    if (c.kind == Kind::Vendor && c.vendor->requestCode == 0xB4) {
      EXPECT_FALSE(c.ok);
    }
  }
}

TEST_F(FrameGrabTest, FramesKeepComingFrameAfterFrame) {
  OpenInMode(1, true);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(link->GrabFrame(frame.data())) << i;
    EXPECT_TRUE(Delivered() == camera.LastSentFrame().pixels) << i;
  }
  EXPECT_EQ(camera.VendorCalls(0xB4).size(), 5u);
}

}  // namespace
}  // namespace camera_test
