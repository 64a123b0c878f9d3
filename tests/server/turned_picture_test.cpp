// The network pictures turn with the view: a 1024x768 camera turned a
// quarter gives 768x1024 stream frames and snapshots, live and frozen, also
// when the turn changes while the picture is held.
#include <QImage>

#include "http_client.h"
#include "server_fixture.h"

namespace {

using namespace std::chrono_literals;

class TurnedPictureTest : public ServerTest {
 protected:
  QSize StreamFrameSize() {
    const StreamResult stream = Client([&] { return ReadStream(Url("/stream.mjpg"), 2, 20s); });
    EXPECT_EQ(stream.parts, 2);
    return QImage::fromData(QByteArray::fromStdString(stream.lastPart), "JPEG").size();
  }
  QSize SnapshotJpegSize() {
    const HttpReply jpeg = Client([&] { return Fetch("GET", Url("/snapshot.jpg")); });
    EXPECT_EQ(jpeg.status, 200);
    return QImage::fromData(QByteArray::fromStdString(jpeg.body), "JPEG").size();
  }
  QSize SnapshotBmpSize() {
    const HttpReply bmp = Client([&] { return Fetch("GET", Url("/snapshot.bmp")); });
    EXPECT_EQ(bmp.status, 200);
    return QImage::fromData(QByteArray::fromStdString(bmp.body), "BMP").size();
  }
  void ExpectEverywhere(QSize size, const char* when) {
    EXPECT_EQ(StreamFrameSize(), size) << when;
    EXPECT_EQ(SnapshotJpegSize(), size) << when;
    EXPECT_EQ(SnapshotBmpSize(), size) << when;
  }
  bool HubShows(int width, int height) {
    return QTest::qWaitFor(
        [&] {
          const server::PictureRate rate = m_server->Hub().Rate();
          return rate.width == width && rate.height == height;
        },
        10000);
  }
  void ToggleFreeze() {
    ASSERT_EQ(Client([&] { return Fetch("POST", Url("/api/click/1000")); }).status, 200);
  }
};

TEST_F(TurnedPictureTest, LiveAndHeldPicturesAreTurnedAsTheView) {
  Start();
  ASSERT_TRUE(m_frame->Capture().SetRotationDegrees(90));
  ASSERT_TRUE(HubShows(768, 1024));
  ExpectEverywhere(QSize(768, 1024), "live at 90");

  ToggleFreeze();
  ExpectEverywhere(QSize(768, 1024), "frozen at 90");
  // Turned while held: the view shows the held picture upright again, and so must the network.
  ASSERT_TRUE(m_frame->Capture().SetRotationDegrees(180));
  ASSERT_TRUE(HubShows(1024, 768));
  ExpectEverywhere(QSize(1024, 768), "frozen, turned to 180");
  ASSERT_TRUE(m_frame->Capture().SetRotationDegrees(270));
  ASSERT_TRUE(HubShows(768, 1024));
  ExpectEverywhere(QSize(768, 1024), "frozen, turned to 270");

  ToggleFreeze();
  ASSERT_TRUE(m_frame->Capture().SetRotationDegrees(0));
  ASSERT_TRUE(HubShows(1024, 768));
  ExpectEverywhere(QSize(1024, 768), "live at 0");
}

}  // namespace
