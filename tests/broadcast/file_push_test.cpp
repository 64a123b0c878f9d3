// Pushes into local .mkv/.mp4 files, read back with ffprobe: the recording
// path shares the encoder and the container handling with the servers.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#include "push_test_support.h"

using namespace pushtest;
using namespace std::chrono_literals;

namespace {

// Shows `count` pictures, each after the push has taken the one before, so
// that none is dropped and the file holds exactly what was shown.
void ShowInStep(CBroadcastPush& push, int width, int height, int first, int count) {
  for (int i = first; i < first + count; ++i) {
    const std::uint64_t before = push.Status().framesSent;
    ShowPicture(push, MakePicture(width, height, i), i);
    ASSERT_TRUE(WaitFor([&] { return push.Status().framesSent > before; }, 10s)) << "picture " << i;
    std::this_thread::sleep_for(30ms);
  }
}

// Long enough that no repeat of a frozen picture slips between the test's pictures.
constexpr std::chrono::milliseconds kQuietKeepAlive = 5s;

// Each test pushes into a file of its own scratch folder.
class FilePush : public ::testing::Test {
 protected:
  void StartInto(std::string target, std::chrono::milliseconds keepAlive = kQuietKeepAlive) {
    path = std::move(target);
    push = StartPush(path, keepAlive);
    ASSERT_TRUE(push);
  }

  ScratchFolder folder;
  std::string path;
  std::unique_ptr<CBroadcastPush> push;
};

}  // namespace

TEST_F(FilePush, MkvHoldsEveryPictureAtTheCameraSizeAsH264In420) {
  ASSERT_NO_FATAL_FAILURE(StartInto(folder.File("push.mkv")));
  ShowInStep(*push, 1024, 768, 0, 24);
  EXPECT_EQ(push->Status().phase, PushPhase::Live);
  push->Stop();
  EXPECT_EQ(push->Status().phase, PushPhase::Ended);

  EXPECT_EQ(ProbeCodec(path), "h264,yuv420p");
  const auto frames = ProbeFrames(path);
  ASSERT_EQ(frames.size(), 24u);
  for (const ProbedFrame& frame : frames) {
    EXPECT_EQ(frame.width, 1024);
    EXPECT_EQ(frame.height, 768);
  }
  EXPECT_TRUE(frames.front().key);
  // Presentation times come from the capture times, which grow.
  for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_GT(frames[i].seconds, frames[i - 1].seconds);
}

TEST_F(FilePush, Mp4GetsItsIndexWrittenWhenThePushStops) {
  ASSERT_NO_FATAL_FAILURE(StartInto(folder.File("push.mp4")));
  ShowInStep(*push, 640, 480, 0, 10);
  push->Stop();
  // Without the trailer an MP4 file has no index and ffprobe reads nothing.
  const auto frames = ProbeFrames(path);
  ASSERT_EQ(frames.size(), 10u);
  EXPECT_EQ(frames.back().width, 640);
}

TEST_F(FilePush, ModeChangeGoesOnInTheSameFileWithAKeyFrameAtTheNewSize) {
  ASSERT_NO_FATAL_FAILURE(StartInto(folder.File("modes.mkv")));
  ShowInStep(*push, 640, 480, 0, 8);
  ShowInStep(*push, 1024, 768, 8, 8);
  EXPECT_EQ(push->Status().width, 1024);
  push->Stop();

  const auto frames = ProbeFrames(path);
  ASSERT_EQ(frames.size(), 16u);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].width, i < 8 ? 640 : 1024) << "frame " << i;
  }
  EXPECT_TRUE(frames[8].key);
}

TEST_F(FilePush, FrozenPictureIsRepeatedAtALowRateAndTimesFollowTheClock) {
  ASSERT_NO_FATAL_FAILURE(StartInto(folder.File("frozen.mkv"), 200ms));
  ShowPicture(*push, MakePicture(320, 240, 0), 0);
  // No new picture for a while, as while frozen.
  ASSERT_TRUE(WaitFor([&] { return push->Status().framesSent >= 6; }, 10s));
  push->Stop();
  const auto frames = ProbeFrames(path);
  ASSERT_GE(frames.size(), 6u);
  // Repeats follow the keep-alive period, not a burst.
  EXPECT_GT(frames.back().seconds, 0.8);
}

TEST_F(FilePush, FolderThatDoesNotExistFailsOnceWithAClearMessage) {
  ASSERT_NO_FATAL_FAILURE(StartInto("/nonexistent-folder-for-push/x.mkv"));
  ShowPicture(*push, MakePicture(320, 240, 0), 0);
  ASSERT_TRUE(WaitFor([&] { return push->Status().phase == PushPhase::Failed; }, 10s));
  const PushStatus status = push->Status();
  EXPECT_NE(status.lastError.find("cannot create"), std::string::npos) << status.lastError;
  // Later pictures do not start the attempts again.
  ShowPicture(*push, MakePicture(320, 240, 1), 1);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(push->Status().phase, PushPhase::Failed);
  EXPECT_EQ(push->Status().reconnects, 0);
  push->Stop();
  EXPECT_EQ(push->Status().phase, PushPhase::Failed);
}
