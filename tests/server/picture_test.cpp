// The pictures for the viewers: encoded once, newest first, the held picture
// repeated, and snapshots byte for byte what the still writers save.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include <QTemporaryDir>

#include "liveview/frame_bitmap.h"
#include "liveview/frame_taps.h"
#include "output/still_writers.h"
#include "server/frame_hub.h"
#include "server/mjpeg_stream.h"
#include "server/still_encoding.h"

namespace server {
namespace {

using namespace std::chrono_literals;

// A picture with a pattern that changes with `seed`, rows padded as the
// caller asks.
struct TestPicture {
  TestPicture(int w, int h, int seed, int pad = 0) : width(w), height(h), rowBytes(w * 3 + pad) {
    bytes.resize(static_cast<std::size_t>(rowBytes) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w * 3; ++x)
        bytes[static_cast<std::size_t>(y) * rowBytes + x] = static_cast<std::uint8_t>(x * 7 + y * 3 + seed * 40);
  }
  ShownFrame Shown(std::uint64_t number) const {
    return {.width = width,
            .height = height,
            .rowBytes = rowBytes,
            .pixels = bytes,
            .number = number,
            .captured = std::chrono::steady_clock::now()};
  }
  PictureView View() const { return {width, height, rowBytes, bytes}; }
  int width, height, rowBytes;
  std::vector<std::uint8_t> bytes;
};

std::string ReadFile(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The still writers' files of the same picture, made through the frame bitmap.
std::pair<std::string, std::string> StillFiles(const TestPicture& picture) {
  QTemporaryDir dir;
  CFrameBitmap bitmap;
  EXPECT_TRUE(bitmap.Create(picture.width, picture.height, 24));
  for (int r = 0; r < picture.height; ++r)
    std::memcpy(bitmap.Pixels() + r * bitmap.RowBytes(), picture.bytes.data() + r * picture.rowBytes,
                bitmap.RowBytes());
  bitmap.SyncToPackedBitmap();
  EXPECT_EQ(SaveStill(bitmap, dir.filePath("still.bmp").toStdString()), StillError::kNone);
  EXPECT_EQ(SaveStill(bitmap, dir.filePath("still.jpg").toStdString()), StillError::kNone);
  return {ReadFile(dir.filePath("still.bmp")), ReadFile(dir.filePath("still.jpg"))};
}

TEST(StillEncodingTest, SnapshotsAreTheStillWritersFiles) {
  // 101 pixels: rows of 303 bytes, padded to 304 in the packed bitmap.
  for (const auto& [w, h] : {std::pair{101, 37}, std::pair{640, 480}}) {
    const TestPicture picture(w, h, 1);
    const auto [bmp, jpg] = StillFiles(picture);
    EXPECT_EQ(BmpFileOf(picture.View()), bmp) << w;
    CStillJpegEncoder encoder;
    std::vector<std::uint8_t> jpeg;
    ASSERT_TRUE(encoder.Encode(picture.View(), jpeg));
    EXPECT_EQ(std::string(jpeg.begin(), jpeg.end()), jpg) << w;
  }
}

TEST(StillEncodingTest, RowPaddingOfTheSourceDoesNotReachTheFile) {
  const TestPicture tight(64, 48, 2);
  const TestPicture padded(64, 48, 2, 5);
  EXPECT_EQ(BmpFileOf(tight.View()), BmpFileOf(padded.View()));
  CStillJpegEncoder encoder;
  std::vector<std::uint8_t> a, b;
  ASSERT_TRUE(encoder.Encode(tight.View(), a));
  ASSERT_TRUE(encoder.Encode(padded.View(), b));
  EXPECT_EQ(a, b);
}

TEST(StillEncodingTest, MalformedPicturesAreRefused) {
  const TestPicture picture(16, 16, 0);
  CStillJpegEncoder encoder;
  std::vector<std::uint8_t> out{1, 2, 3};
  for (const PictureView bad :
       {PictureView{0, 16, 48, picture.bytes}, PictureView{16, -1, 48, picture.bytes},
        PictureView{16, 16, 47, picture.bytes}, PictureView{16, 17, 48, picture.bytes},  // more rows than bytes
        PictureView{2000, 2000, 6000, picture.bytes}}) {
    EXPECT_FALSE(encoder.Encode(bad, out));
    EXPECT_EQ(BmpFileOf(bad), "");
  }
}

class FrameHubTest : public ::testing::Test {
 protected:
  void SetUp() override { hub.Start(); }
  void TearDown() override { hub.Stop(); }
  CFrameHub hub;
};

TEST_F(FrameHubTest, NothingIsEncodedWithoutAViewerAndEachFrameOnceWithMany) {
  const TestPicture picture(320, 240, 3);
  hub.OnShownFrame(picture.Shown(1));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(hub.EncodedCount(), 0u);

  std::vector<std::unique_ptr<CMjpegStream>> viewers;
  for (int i = 0; i < 8; ++i) viewers.push_back(std::make_unique<CMjpegStream>(hub));
  auto first = hub.WaitNewer(0, 5s);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->number, 1u);  // the picture that came before any viewer
  for (std::uint64_t n = 2; n <= 20; ++n) {
    hub.OnShownFrame(picture.Shown(n));
    hub.WaitNewer(n - 1, 5s);
  }
  // Eight viewers, twenty frames: at most twenty encodes.
  EXPECT_LE(hub.EncodedCount(), 20u);
  EXPECT_GE(hub.EncodedCount(), 2u);
}

TEST_F(FrameHubTest, ViewersArrivingDuringAnEncodeDoNotHaveTheSamePictureEncodedAgain) {
  // A large picture keeps the encoder busy while more viewers arrive.
  const TestPicture picture(1024, 768, 5);
  hub.OnShownFrame(picture.Shown(1));
  std::vector<std::unique_ptr<CMjpegStream>> viewers;
  viewers.push_back(std::make_unique<CMjpegStream>(hub));
  for (int i = 0; i < 6 && hub.EncodedCount() == 0; ++i) {
    std::this_thread::sleep_for(1ms);
    viewers.push_back(std::make_unique<CMjpegStream>(hub));
  }
  ASSERT_TRUE(hub.WaitNewer(0, 5s));
  std::this_thread::sleep_for(150ms);  // room for a second encode, were one asked for
  EXPECT_EQ(hub.EncodedCount(), 1u);
}

TEST_F(FrameHubTest, ASlowViewerGetsTheNewestFrameAndSkipsTheRest) {
  const TestPicture picture(64, 48, 4);
  CMjpegStream viewer(hub);
  for (std::uint64_t n = 1; n <= 30; ++n) hub.OnShownFrame(picture.Shown(n));
  // Whatever was encoded in between, the frame handed out at last is the 30th.
  std::shared_ptr<const EncodedFrame> frame;
  for (int i = 0; i < 50 && (!frame || frame->number != 30); ++i) frame = hub.WaitNewer(frame ? frame->number : 0, 1s);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->number, 30u);
  EXPECT_LT(hub.EncodedCount(), 30u + 1);
}

TEST_F(FrameHubTest, MalformedTapsAreIgnored) {
  const TestPicture picture(64, 48, 5);
  ShownFrame shortPixels = picture.Shown(1);
  shortPixels.pixels = shortPixels.pixels.first(100);
  hub.OnShownFrame(shortPixels);
  ShownFrame narrowRows = picture.Shown(2);
  narrowRows.rowBytes = 10;
  hub.OnShownFrame(narrowRows);
  EXPECT_FALSE(hub.SnapshotJpeg());
  EXPECT_FALSE(hub.SnapshotBmp());
  EXPECT_EQ(hub.Rate().frames, 0u);
}

// Splits a stream read through small buffers into its parts.
std::vector<std::string> ReadParts(CMjpegStream& stream, int count, std::size_t chunk) {
  std::string bytes;
  std::vector<char> buffer(chunk);
  std::vector<std::string> parts;
  while (static_cast<int>(parts.size()) < count) {
    const long n = stream.Read(buffer.data(), buffer.size());
    if (n < 0) break;
    bytes.append(buffer.data(), static_cast<std::size_t>(n));
    const auto head = bytes.find("\r\n\r\n");
    if (head == std::string::npos) continue;
    const auto at = bytes.find("Content-Length: ");
    const std::size_t length = std::stoul(bytes.substr(at + 16));
    if (bytes.size() < head + 4 + length + 2) continue;
    EXPECT_EQ(bytes.rfind(std::string("--") + kStreamBoundary + "\r\nContent-Type: image/jpeg\r\n", 0), 0u);
    EXPECT_EQ(bytes.substr(head + 4 + length, 2), "\r\n");
    parts.push_back(bytes.substr(head + 4, length));
    bytes.erase(0, head + 4 + length + 2);
  }
  return parts;
}

TEST_F(FrameHubTest, StreamPartsAreWholeJpegsWhateverTheBufferSize) {
  const TestPicture picture(160, 120, 6);
  hub.OnShownFrame(picture.Shown(1));
  for (const std::size_t chunk : {1u, 7u, 4096u, 1u << 20}) {
    CMjpegStream stream(hub);
    const auto parts = ReadParts(stream, 1, chunk);
    ASSERT_EQ(parts.size(), 1u) << chunk;
    EXPECT_EQ(parts[0], *hub.SnapshotJpeg()) << chunk;
  }
}

TEST_F(FrameHubTest, AHeldPictureIsRepeatedOnlyOnceASecond) {
  const TestPicture picture(64, 48, 7);
  hub.OnShownFrame(picture.Shown(1));
  CMjpegStream stream(hub);
  const auto parts = ReadParts(stream, 3, 65536);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[1], parts[0]);
  EXPECT_EQ(parts[2], parts[0]);
  // Not a burst: each repeat waited for a newer frame first.
  EXPECT_EQ(stream.FramesSent(), 3u);
  std::thread feeder([&] {
    std::this_thread::sleep_for(200ms);
    hub.OnShownFrame(TestPicture(64, 48, 9).Shown(2));
  });
  // A new frame ends the wait at once and is the next part.
  const auto next = ReadParts(stream, 1, 65536);
  feeder.join();
  ASSERT_EQ(next.size(), 1u);
  EXPECT_NE(next[0], parts[0]);
}

TEST_F(FrameHubTest, ANewViewerStartsFromThePictureShownNowNotAnEarlierViewersLast) {
  std::string earlier;
  {
    hub.OnShownFrame(TestPicture(1024, 768, 10).Shown(1));
    CMjpegStream first(hub);
    const auto parts = ReadParts(first, 1, 65536);
    ASSERT_EQ(parts.size(), 1u);
    earlier = parts[0];
  }
  // Shown while nobody watched (so not encoded); the turn changed its size.
  hub.OnShownFrame(TestPicture(768, 1024, 11).Shown(2));
  CMjpegStream second(hub);
  const auto parts = ReadParts(second, 1, 65536);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_NE(parts[0], earlier);
  EXPECT_EQ(parts[0], *hub.SnapshotJpeg());
}

TEST_F(FrameHubTest, StopEndsEveryWaitingStream) {
  CMjpegStream stream(hub);  // before any picture: it waits
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    hub.Stop();
  });
  std::vector<char> buffer(1024);
  long n = 0;
  for (int i = 0; i < 5 && n >= 0; ++i) n = stream.Read(buffer.data(), buffer.size());
  stopper.join();
  EXPECT_EQ(n, -1);
}

TEST_F(FrameHubTest, RateCountsTheLastSecond) {
  const TestPicture picture(32, 24, 8);
  for (std::uint64_t n = 1; n <= 5; ++n) hub.OnShownFrame(picture.Shown(n));
  const PictureRate rate = hub.Rate();
  EXPECT_EQ(rate.frames, 5u);
  EXPECT_EQ(rate.fps, 5);
  EXPECT_EQ(rate.width, 32);
  EXPECT_EQ(rate.height, 24);
}

}  // namespace
}  // namespace server
