// The link against the simulated camera, end to end: the sim cannot be told
// from the hardware, so these are the link's conversations with a real peer.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <numeric>

#include "camera/usb_camera.h"
#include "link_fixture.h"
#include "sim/sim_driver.h"

namespace camera_test {
namespace {

using namespace std::chrono_literals;

class SimLinkTest : public ::testing::Test {
 protected:
  // Waits of 200 and 150 ms: room for a whole frame on a busy machine.
  void Start(sim::SimOptions options, double linkScale = 0.05) {
    // The camera's own durations shrink alike, so its bulk-read time-out
    // still outlasts the link's two waits.
    options.timeScale = linkScale;
    driver = sim::CreateSimulatedDriver(options);
    link = std::make_unique<CUsbCamera>(*driver, CameraTiming{linkScale});
    link->SetLogSink(&log);
    ASSERT_TRUE(link->Open());
    link->SetHighSpeed(link->QueryHighSpeed());
    ASSERT_TRUE(link->QueryMode());
    frame.assign(CUsbCamera::kFrameBytes, 0);
  }
  sim::SimCamera& Camera() { return driver->Camera(0); }
  std::vector<std::uint8_t> Delivered() const {
    return {frame.begin(),
            frame.begin() + 3 * static_cast<std::ptrdiff_t>(link->Picture().width * link->Picture().height)};
  }
  SentFrame SentAsSim() {
    const sim::Picture p = Camera().LastFramePicture();
    SentFrame f;
    f.width = p.width;
    f.height = p.height;
    f.pixels = p.bgr;
    return f;
  }
  void TearDown() override {
    if (link) link->Close();
  }

  std::shared_ptr<sim::SimDriver> driver;
  RecordingLogSink log;
  std::unique_ptr<CUsbCamera> link;
  std::vector<std::uint8_t> frame;
};

TEST_F(SimLinkTest, FramesMatchTheSimulatedPictureInEveryOrientation) {
  Start({});
  EXPECT_EQ(link->HighSpeed(), true);
  EXPECT_EQ(link->Picture().width, 1024);
  for (int orientation : {0, 1, 2, 3}) {
    link->SetOrientation(orientation);
    ASSERT_TRUE(link->GrabFrame(frame.data())) << orientation;
    const SentFrame sent = SentAsSim();
    ASSERT_EQ(sent.width, 1024);
    EXPECT_TRUE(Delivered() == Oriented(sent, orientation)) << orientation;
  }
}

TEST_F(SimLinkTest, EveryModeAtBothSpeeds) {
  for (bool highSpeed : {true, false}) {
    for (int mode : {0, 1, 2, 4, 5, 6}) {
      sim::SimOptions options;
      options.highSpeed = highSpeed;
      options.startMode = mode;
      Start(options);
      ASSERT_EQ(link->Picture().mode, mode);
      ASSERT_TRUE(link->GrabFrame(frame.data())) << mode << " " << highSpeed;
      const SentFrame sent = SentAsSim();
      const std::vector<std::uint8_t> got = Delivered();
      ASSERT_EQ(got.size(), sent.pixels.size());
      // At full speed the readers take 1,406 chunks of mode 5's pipe 0, one
      // short of what the chunk rule puts there (chunk 5,624, the first bytes
      // of the last 64 pixels): those bytes never arrive and show as zeros.
      std::vector<std::uint8_t> expected = sent.pixels;
      if (mode == 5 && !highSpeed) {
        for (std::size_t px = expected.size() / 3 - 64; px < expected.size() / 3; ++px) expected[3 * px] = 0;
      }
      std::size_t firstDiff = 0;
      while (firstDiff < got.size() && got[firstDiff] == expected[firstDiff]) ++firstDiff;
      EXPECT_TRUE(got == expected) << "mode " << mode << " high speed " << highSpeed << " first difference at byte "
                                   << firstDiff << " of " << got.size() << ": " << int(got[firstDiff]) << " vs "
                                   << int(expected[firstDiff]) << " sent " << int(sent.pixels[firstDiff]);
      const auto reads = Camera().BulkReadLengths(0);
      const std::uint32_t share = std::accumulate(reads.begin(), reads.end(), 0u);
      EXPECT_EQ(share, mode == 5 ? (highSpeed ? 91200u : 89984u) : sent.pixels.size() / 4);
      link->Close();
    }
  }
}

TEST_F(SimLinkTest, CommandsChangeTheCameraAndReadBack) {
  Start({});
  EXPECT_EQ(link->SendShortCommand(0x36), 0) << "mirror starts off";
  link->SendCommand(0x36, 1);
  EXPECT_TRUE(Camera().Settings().mirror);
  EXPECT_NE(link->SendShortCommand(0x36), 0);
  const auto commands = Camera().ReceivedCommands();
  ASSERT_EQ(commands.size(), 3u);
  EXPECT_EQ(commands[1], (std::vector<std::uint8_t>{0xAA, 0x80, 0x00, 0x36, 0x01, 0xB7, 0xA5}));
  EXPECT_EQ(log.Lines().size(), 6u);
}

TEST_F(SimLinkTest, GarbledRepliesFromTheCamera) {
  Start({});
  Camera().SetReplyPieceSize(3);
  Camera().InjectReplyFault(sim::ReplyFault::Status2, 1);
  link->SendShortCommand(0x36);
  EXPECT_EQ(Camera().ReceivedCommands().size(), 2u) << "status 2 repeats the frame";
  for (auto fault : {sim::ReplyFault::Status1, sim::ReplyFault::BadChecksum, sim::ReplyFault::WrongStart,
                     sim::ReplyFault::Overlong, sim::ReplyFault::NoReply}) {
    Camera().ClearRecords();
    Camera().InjectReplyFault(fault, 1);
    EXPECT_EQ(link->SendCommand(0x36, 1), 0);
    EXPECT_EQ(Camera().ReceivedCommands().size(), 1u);
  }
  Camera().ClearRecords();
  Camera().InjectReplyFault(sim::ReplyFault::Short, 1);
  link->SendShortCommand(0x36);
  EXPECT_EQ(Camera().ReceivedCommands().size(), 2u) << "a short reply repeats a read-back";
}

TEST_F(SimLinkTest, PipeHeldUntilRecoveryFinishesInTheSecondWait) {
  Start({});
  Camera().StallPipeUntilRecovery(2);
  ASSERT_TRUE(link->GrabFrame(frame.data()));
  EXPECT_EQ(Camera().VendorRequestCount(0xB5), 1u);
  EXPECT_EQ(Camera().VendorRequestCount(0xB7), 0u);
  EXPECT_EQ(link->Aborted(), false);
  EXPECT_TRUE(Delivered() == SentAsSim().pixels);
}

TEST_F(SimLinkTest, PipeStalledForeverIsGivenUpAndTheLinkStillCloses) {
  Start({});
  Camera().StallPipeForever(3);
  EXPECT_FALSE(link->GrabFrame(frame.data()));
  EXPECT_EQ(Camera().VendorRequestCount(0xB7), 1u);
  EXPECT_EQ(link->Aborted(), true);
  EXPECT_TRUE(link->CheckPresent()) << "the camera is still there: the transfer is unstable";
  link->Close();
  EXPECT_FALSE(link->IsOpen());
}

TEST_F(SimLinkTest, UnplugWhileFramesRun) {
  Start({}, 1.0);
  std::atomic<bool> stop{false};
  std::atomic<int> frames{0};
  auto worker = std::async(std::launch::async, [&] {
    std::vector<std::uint8_t> buffer(CUsbCamera::kFrameBytes);
    while (!stop) {
      if (!link->QueryMode() || !link->GrabFrame(buffer.data())) return false;
      ++frames;
    }
    return true;
  });
  ASSERT_TRUE(Eventually([&] { return frames.load() >= 3; }));
  Camera().Unplug();
  EXPECT_FALSE(worker.get()) << "the worker stops at the frame or mode query in flight";
  EXPECT_FALSE(link->CheckPresent());
  EXPECT_FALSE(link->IsOpen());
  EXPECT_EQ(link->SendShortCommand(0x36), 0);
}

TEST_F(SimLinkTest, CheckClosesTheLinkUnderARunningWorker) {
  Start({}, 1.0);
  std::atomic<bool> stop{false};
  auto worker = std::async(std::launch::async, [&] {
    std::vector<std::uint8_t> buffer(CUsbCamera::kFrameBytes);
    int frames = 0;
    while (!stop && frames < 100000) {
      if (!link->QueryMode()) break;
      if (!link->GrabFrame(buffer.data())) break;
      ++frames;
    }
    return frames;
  });
  std::this_thread::sleep_for(30ms);
  Camera().Unplug();
  EXPECT_FALSE(link->CheckPresent());
  stop = true;
  worker.get();
  EXPECT_FALSE(link->IsOpen());
}

TEST_F(SimLinkTest, TwoLinksTakeTwoCameras) {
  sim::SimOptions options;
  options.cameraCount = 2;
  Start(options);
  CUsbCamera second(*driver, CameraTiming{0.01});
  ASSERT_TRUE(second.Open());
  EXPECT_EQ(second.DevicePath(), "\\\\.\\EZUSB-1");
  CUsbCamera third(*driver, CameraTiming{0.01});
  EXPECT_FALSE(third.Open());
  EXPECT_EQ(third.ErrorText(), "EZUSB-1 failed: GetLastError returned 183\n");
  second.Close();
}

}  // namespace
}  // namespace camera_test
