// Pushes to FFmpeg's own RTMP listener on the loopback: what arrives, a
// listener that dies and comes back, a mode change, and URLs that cannot work.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "push_test_support.h"

using namespace pushtest;
using namespace std::chrono_literals;

namespace {

// Plays the live-view worker: a picture every 40 ms until stopped.
class PictureFeeder {
 public:
  PictureFeeder(CBroadcastPush& push, int width, int height) : m_push(push), m_width(width), m_height(height) {
    m_thread = std::thread([this] {
      for (int i = 0; !m_stop.load(); ++i) {
        ShowPicture(m_push, MakePicture(m_width.load(), m_height.load(), i), i);
        std::this_thread::sleep_for(40ms);
      }
    });
  }
  ~PictureFeeder() { Stop(); }
  void SetSize(int width, int height) {
    m_width.store(width);
    m_height.store(height);
  }
  void Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  CBroadcastPush& m_push;
  std::atomic<int> m_width;
  std::atomic<int> m_height;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

std::string RtmpUrl(int port, const std::string& path = "live/test") {
  return "rtmp://127.0.0.1:" + std::to_string(port) + "/" + path;
}

// FFmpeg's listener on a free loopback port, and a push to it fed pictures.
class RtmpListenerTest : public ::testing::Test {
 protected:
  // The listener copies into `file` and ends after `frames` pictures (0: at
  // the stream's end).
  void StartLive(const std::string& file, int frames, int width, int height) {
    m_port = FreeLoopbackPort();
    ASSERT_NE(m_port, 0);
    m_listener = std::make_unique<RtmpListener>(m_port, m_folder.File(file), frames);
    ASSERT_TRUE(m_listener->Started());
    m_push = StartPush(RtmpUrl(m_port));
    ASSERT_TRUE(m_push);
    m_feeder = std::make_unique<PictureFeeder>(*m_push, width, height);
  }

  ScratchFolder m_folder;
  int m_port = 0;
  std::unique_ptr<RtmpListener> m_listener;
  std::unique_ptr<CBroadcastPush> m_push;
  std::unique_ptr<PictureFeeder> m_feeder;
};

}  // namespace

TEST_F(RtmpListenerTest, ListenerReceivesH264FramesOfTheCameraSize) {
  ASSERT_NO_FATAL_FAILURE(StartLive("got.flv", 20, 1024, 768));
  ASSERT_TRUE(m_listener->FinishedCleanly(30s)) << m_listener->Log();
  EXPECT_GE(m_push->Status().framesSent, 20u);
  m_feeder->Stop();
  m_push->Stop();

  EXPECT_EQ(ProbeCodec(m_folder.File("got.flv")), "h264,yuv420p");
  const auto frames = ProbeFrames(m_folder.File("got.flv"));
  ASSERT_GE(frames.size(), 20u);
  EXPECT_EQ(frames.front().width, 1024);
  EXPECT_EQ(frames.front().height, 768);
  EXPECT_TRUE(frames.front().key);
}

TEST_F(RtmpListenerTest, ListenerKilledMidStreamAndStartedAgainGetsTheStreamBack) {
  ASSERT_NO_FATAL_FAILURE(StartLive("first.flv", 0, 640, 480));
  CBroadcastPush& push = *m_push;
  ASSERT_TRUE(WaitFor([&] { return push.Status().framesSent >= 10; }, 20s)) << m_listener->Log();

  m_listener->Kill();
  ASSERT_TRUE(WaitFor([&] { return push.Status().phase == PushPhase::Retrying; }, 20s));
  EXPECT_FALSE(push.Status().lastError.empty());

  RtmpListener second(m_port, m_folder.File("second.flv"), 10);
  ASSERT_TRUE(second.Started());
  // The back-off is at most a few seconds this early; the picture never stopped.
  ASSERT_TRUE(second.FinishedCleanly(40s)) << second.Log();
  const PushStatus status = push.Status();
  EXPECT_GE(status.reconnects, 1);
  m_feeder->Stop();
  push.Stop();

  const auto frames = ProbeFrames(m_folder.File("second.flv"));
  ASSERT_GE(frames.size(), 10u);
  // The new connection starts with a key frame the player can start from.
  EXPECT_TRUE(frames.front().key);
  EXPECT_EQ(frames.front().width, 640);
}

TEST_F(RtmpListenerTest, ModeChangeMidPushKeepsTheConnectionAndSendsTheNewSize) {
  ASSERT_NO_FATAL_FAILURE(StartLive("modes.flv", 0, 640, 480));
  CBroadcastPush& push = *m_push;
  ASSERT_TRUE(WaitFor([&] { return push.Status().framesSent >= 10; }, 20s)) << m_listener->Log();
  const std::uint64_t beforeChange = push.Status().framesSent;
  const int reconnectsBefore = push.Status().reconnects;
  m_feeder->SetSize(1024, 768);
  ASSERT_TRUE(WaitFor([&] { return push.Status().framesSent >= beforeChange + 15; }, 20s));
  m_feeder->Stop();
  const PushStatus status = push.Status();
  EXPECT_EQ(status.reconnects, reconnectsBefore);
  EXPECT_EQ(status.phase, PushPhase::Live);
  EXPECT_EQ(status.width, 1024);
  push.Stop();
  // The stream's end ends the listener, which closes its file.
  ASSERT_TRUE(m_listener->FinishedCleanly(20s)) << m_listener->Log();

  const auto frames = ProbeFrames(m_folder.File("modes.flv"));
  ASSERT_GE(frames.size(), 20u);
  EXPECT_EQ(frames.front().width, 640);
  EXPECT_EQ(frames.back().width, 1024);
  EXPECT_EQ(frames.back().height, 768);
}

TEST(RtmpPush, UrlsThatCanNeverWorkGiveOneMessageAndNoLoop) {
  std::string error;
  PushSettings settings;
  settings.url = "http://127.0.0.1/live";
  EXPECT_FALSE(CBroadcastPush::Start(settings, error));
  EXPECT_NE(error.find("unknown push scheme"), std::string::npos) << error;

  // A name that can never resolve (reserved for this use).
  auto push = StartPush("rtmp://no-such-host.invalid/live/key");
  ASSERT_TRUE(push);
  ShowPicture(*push, MakePicture(320, 240, 0), 0);
  ASSERT_TRUE(WaitFor([&] { return push->Status().phase == PushPhase::Failed; }, 20s)) << push->Status().lastError;
  EXPECT_NE(push->Status().lastError.find("no such host"), std::string::npos) << push->Status().lastError;
  ShowPicture(*push, MakePicture(320, 240, 1), 1);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(push->Status().phase, PushPhase::Failed);
  EXPECT_EQ(push->Status().reconnects, 0);
  push->Stop();
}

TEST(RtmpPush, ServerThatTurnsTheStreamAwayFailsOnce) {
  // An ingest refusing a stream key takes the connection and hangs up
  // before publishing starts; this server does just that, every time.
  RefusingServer server;
  ASSERT_NE(server.Port(), 0);
  auto push = StartPush(RtmpUrl(server.Port(), "live/revoked-key"));
  ASSERT_TRUE(push);
  ShowPicture(*push, MakePicture(320, 240, 0), 0);
  ASSERT_TRUE(WaitFor([&] { return push->Status().phase == PushPhase::Failed; }, 20s)) << push->Status().lastError;
  EXPECT_NE(push->Status().lastError.find("refused the stream"), std::string::npos) << push->Status().lastError;
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(push->Status().reconnects, 0);
  EXPECT_EQ(server.Accepted(), 1);
  push->Stop();
}

TEST(RtmpPush, NobodyListeningIsRetriedWithGrowingBackOffAndStopEndsTheWait) {
  const int port = FreeLoopbackPort();
  ASSERT_NE(port, 0);
  auto push = StartPush(RtmpUrl(port));
  ASSERT_TRUE(push);
  ShowPicture(*push, MakePicture(320, 240, 0), 0);
  ASSERT_TRUE(WaitFor([&] { return push->Status().reconnects >= 2; }, 20s));
  const PushStatus status = push->Status();
  EXPECT_EQ(status.phase, PushPhase::Retrying);
  EXPECT_EQ(status.retryInSeconds, 2);
  EXPECT_NE(status.lastError.find("refused"), std::string::npos) << status.lastError;
  // Stop comes in the middle of the back-off and must not wait it out.
  push->Stop();
  EXPECT_EQ(push->Status().phase, PushPhase::Ended);
}
