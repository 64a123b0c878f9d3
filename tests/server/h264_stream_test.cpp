// The H.264 stream through the running server on the simulated camera:
// what a viewer receives decodes at the view's size from its first
// fragment, all viewers and the broadcast push share one encoder, and the
// viewer limit holds.
#include <fstream>

#include <QJsonDocument>
#include <QJsonObject>

#include "../broadcast/push_test_support.h"
#include "broadcast/broadcast_push.h"
#include "broadcast/h264_encoder.h"
#include "http_client.h"
#include "server_fixture.h"

namespace {

using namespace std::chrono_literals;

QJsonObject StateOf(const std::string& url) {
  const HttpReply reply = Fetch("GET", url);
  return QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object();
}

// HTTP/1.0, so the endless body comes without chunk framing.
std::string Mp4Request() { return "GET /stream.mp4 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"; }

// The body of a stream read for `span`, written to `path`; the status line's code returned.
int SaveStream(RawClient& client, std::chrono::milliseconds span, const std::string& path) {
  const std::string received = client.ReadUntil("\x01no such marker", span);
  const std::size_t headEnd = received.find("\r\n\r\n");
  if (headEnd == std::string::npos || received.size() < 12) return 0;
  std::ofstream(path, std::ios::binary) << received.substr(headEnd + 4);
  return std::stoi(received.substr(9, 3));
}

// A saved stream or file decodes as H.264 from a key frame at the camera's size.
void ExpectCameraSizedH264(const std::string& path) {
  EXPECT_EQ(pushtest::ProbeCodec(path), "h264,yuv420p") << path;
  const auto frames = pushtest::ProbeFrames(path);
  ASSERT_GE(frames.size(), 5u) << path;
  EXPECT_TRUE(frames.front().key) << path;
  EXPECT_EQ(frames.front().width, 1024) << path;
  EXPECT_EQ(frames.back().height, 768) << path;
}

class H264StreamTest : public ServerTest {
 protected:
  void StartWithLimit(unsigned viewers) {
    server::CameraServerOptions options;
    options.limits.maxH264Streams = viewers;
    Start(options);
  }
};

TEST_F(H264StreamTest, ViewersShareOneEncoderDecodeFromTheirFirstFragmentAndTheLimitHolds) {
  StartWithLimit(2);
  pushtest::ScratchFolder folder;
  EXPECT_EQ(Client([&] { return StateOf(Url("/api/state")); })["h264_encoders"].toInt(), 0);
  RawClient first(Port(), Mp4Request());
  ASSERT_TRUE(first.Connected());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server->LiveFeed().FragmentsMade() > 20; }, 20000));
  // The second joins mid-stream; the third finds no room.
  RawClient second(Port(), Mp4Request());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server->LiveFeed().Viewers() == 2; }, 10000));
  RawClient third(Port(), Mp4Request());
  const std::string refused = Client([&] { return third.ReadUntil("\r\n\r\n", 10s); });
  EXPECT_NE(refused.find(" 503 "), std::string::npos) << refused;
  // The MJPEG viewers' own limit is untouched.
  const StreamResult mjpeg = Client([&] { return ReadStream(Url("/stream.mjpg"), 1, 20s); });
  EXPECT_EQ(mjpeg.parts, 1);

  const QJsonObject state = Client([&] { return StateOf(Url("/api/state")); });
  EXPECT_EQ(state["viewers_h264"].toInt(), 2);
  EXPECT_EQ(state["h264_encoders"].toInt(), 1);

  const std::string early = folder.File("first.mp4");
  const std::string late = folder.File("second.mp4");
  EXPECT_EQ(Client([&] { return SaveStream(first, 1500ms, early); }), 200);
  EXPECT_EQ(Client([&] { return SaveStream(second, 1500ms, late); }), 200);
  EXPECT_EQ(m_server->LiveFeed().EncodersOpened(), 1u);
  for (const std::string& path : {early, late}) ExpectCameraSizedH264(path);

  // Everyone gone: the encoder stops.
  first.Close();
  second.Close();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !m_server->LiveFeed().EncoderRunning(); }, 10000));
}

TEST_F(H264StreamTest, AFrozenPictureKeepsTheStreamGoing) {
  StartWithLimit(4);
  RawClient viewer(Port(), Mp4Request());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server->LiveFeed().FragmentsMade() > 5; }, 20000));
  ASSERT_EQ(Client([&] { return Fetch("POST", Url("/api/click/1000")); }).status, 200);
  ASSERT_TRUE(Client([&] { return StateOf(Url("/api/state")); })["frozen"].toBool());
  QTest::qWait(200);  // a picture on its way when the freeze came
  const std::uint64_t frozenAt = m_server->Hub().Rate().frames;
  const std::uint64_t made = m_server->LiveFeed().FragmentsMade();
  // The held picture goes out again though no new picture is shown.
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_server->LiveFeed().FragmentsMade() >= made + 2; }, 10000));
  EXPECT_EQ(m_server->Hub().Rate().frames, frozenAt);
  pushtest::ScratchFolder folder;
  const std::string path = folder.File("frozen.mp4");
  EXPECT_EQ(Client([&] { return SaveStream(viewer, 1500ms, path); }), 200);
  EXPECT_GE(pushtest::ProbeFrames(path).size(), 3u);
}

TEST_F(H264StreamTest, APushAndTheViewersShareOneEncoderAndBothDecode) {
  StartWithLimit(4);
  pushtest::ScratchFolder folder;
  const std::string pushed = folder.File("push.mkv");
  PushSettings push;
  push.url = pushed;
  std::string error;
  ASSERT_TRUE(m_frame->Outputs().StartBroadcast(push, error)) << error;
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->BroadcastState().Snapshot().framesSent >= 5; }, 20000));
  RawClient first(Port(), Mp4Request());
  RawClient second(Port(), Mp4Request());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server->LiveFeed().Viewers() == 2; }, 10000));
  const std::string early = folder.File("first.mp4");
  const std::string late = folder.File("second.mp4");
  EXPECT_EQ(Client([&] { return SaveStream(first, 1500ms, early); }), 200);
  // Counted while both take pictures: the push's encoder is the viewers' one.
  const QJsonObject state = Client([&] { return StateOf(Url("/api/state")); });
  EXPECT_EQ(state["h264_encoders"].toInt(), 1);
  EXPECT_EQ(CH264Encoder::OpenEncoders(), 1);
  EXPECT_EQ(state["push"].toObject()["state"].toString(), "live");
  EXPECT_EQ(m_server->LiveFeed().EncodersOpened(), 1u) << "the push's settings were the encoder's from the start";
  EXPECT_EQ(Client([&] { return SaveStream(second, 1500ms, late); }), 200);
  first.Close();
  second.Close();
  // The push goes on alone, then the program's end writes its file's trailer.
  const std::uint64_t sent = m_frame->BroadcastState().Snapshot().framesSent;
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->BroadcastState().Snapshot().framesSent >= sent + 5; }, 20000));
  m_server.reset();
  m_frame.reset();
  EXPECT_EQ(CH264Encoder::OpenEncoders(), 0);

  for (const std::string& path : {pushed, early, late}) ExpectCameraSizedH264(path);
}

}  // namespace
