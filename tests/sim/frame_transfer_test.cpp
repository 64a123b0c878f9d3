// Frames as a host receives them: share sizes, chunk layout, the picture they
// carry, the running marks, freeze and the switch of picture size.
#include <gtest/gtest.h>

#include <thread>

#include "sim_host.h"

namespace simtest {
namespace {

struct Link {
  explicit Link(sim::SimOptions options) : host(options) {
    control = host.Open();
    for (auto& r : readers) r = host.Open();
  }
  std::array<std::vector<std::uint8_t>, 4> Fetch(std::uint32_t share) {
    return FetchFrame(host, control, readers, share);
  }
  Host host;
  DeviceHandle control{};
  std::array<DeviceHandle, 4> readers{};
};

class EveryModeAndSpeed : public ::testing::TestWithParam<std::tuple<ModeRow, bool>> {};

TEST_P(EveryModeAndSpeed, PipesCarryExactlyTheShareAndReassembleToThePicture) {
  const auto [row, highSpeed] = GetParam();
  sim::SimOptions options;
  options.startMode = row.code;
  options.highSpeed = highSpeed;
  options.timeScale = 0.0005;  // a read past the share times out in 7.5 ms
  Link link(options);
  ASSERT_EQ(link.host.Mode(link.control), row.code);

  const std::uint32_t share = highSpeed ? row.shareHigh : row.shareFull;
  auto pipes = link.Fetch(share);
  for (std::uint32_t p = 0; p < 4; ++p) {
    ASSERT_EQ(pipes[p].size(), share) << "pipe " << p;
    std::uint8_t extra = 0;
    std::uint32_t got = 0;
    EXPECT_FALSE(platform::ReadBulkPipe(*link.host.driver, link.readers[p], p, std::span(&extra, 1), got))
        << "pipe " << p << " sent more than its share";
  }

  const sim::Picture picture = link.host.driver->Camera(0).LastFramePicture();
  ASSERT_EQ(picture.width, row.width);
  ASSERT_EQ(picture.height, row.height);
  std::vector<std::uint8_t> expected = picture.bgr;
  if (row.code == 5 && !highSpeed) {
    // 1,406 chunks a pipe leave out pipe 0's last chunk: the blue bytes of the last 64 pixels.
    for (std::size_t px = 400 * 300 - 64; px < 400 * 300; ++px) expected[px * 3] = 0;
  }
  const auto frame = Reassemble(row.width, row.height, pipes);
  ASSERT_EQ(frame.size(), expected.size());
  EXPECT_TRUE(frame == expected);

  if (row.code == 5 && highSpeed) {
    // Beyond the chunk rule's 1,407 / 1,406 chunks each pipe is padded with zeros.
    for (std::uint32_t p = 0; p < 4; ++p) {
      const std::size_t natural = (p == 0 ? 1407 : 1406) * 64;
      for (std::size_t i = natural; i < share; ++i) ASSERT_EQ(pipes[p][i], 0) << "pipe " << p << " byte " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, EveryModeAndSpeed,
                         ::testing::Combine(::testing::ValuesIn(kModeRows), ::testing::Bool()));

TEST(SimFrames, ReadsInPiecesReturnWhatWasAskedAndANewFrameReplacesAnUnreadOne) {
  Host host;
  const auto h = host.Open();
  ASSERT_TRUE(host.Out(h, 0xB4));
  std::vector<std::uint8_t> piece(1000);
  std::uint32_t got = 0;
  ASSERT_TRUE(platform::ReadBulkPipe(*host.driver, h, 2, piece, got));
  EXPECT_EQ(got, 1000u);
  // The host starts a new frame without finishing this one: the pipe restarts at the new frame.
  ASSERT_TRUE(host.Out(h, 0xB4));
  const auto second = host.ReadShare(h, 2, 589824);
  EXPECT_EQ(second.size(), 589824u);
}

TEST(SimFrames, FrameCounterAdvancesAndFreezeHoldsThePicture) {
  Link link({});
  auto first = link.Fetch(589824);
  auto second = link.Fetch(589824);
  EXPECT_NE(first, second) << "the counter and the ball must change from frame to frame";
  EXPECT_EQ(link.host.driver->Camera(0).Settings().frameNumber, 2u);

  EXPECT_EQ(link.host.Exchange(link.control, SetFrame(0x3C, 1)).size(), 7u);
  auto held1 = link.Fetch(589824);
  auto held2 = link.Fetch(589824);
  EXPECT_EQ(held1, second) << "freeze holds the frame last sent";
  EXPECT_EQ(held1, held2);

  link.host.Exchange(link.control, SetFrame(0x3C, 0));
  auto live = link.Fetch(589824);
  EXPECT_NE(live, held2);
  EXPECT_EQ(link.host.driver->Camera(0).Settings().frameNumber, 3u);
}

TEST(SimFrames, MonitorOutPicksThePictureSizeForTheSpeed) {
  for (bool highSpeed : {true, false}) {
    sim::SimOptions options;
    options.highSpeed = highSpeed;
    Host host(options);
    const auto h = host.Open();
    EXPECT_EQ(host.Mode(h), highSpeed ? 2 : 6);
    const int expected[3] = {highSpeed ? 2 : 6, highSpeed ? 0 : 4, highSpeed ? 1 : 5};  // XGA, VGA, SVGA
    for (std::uint8_t v : {1, 2, 0}) {
      host.Exchange(h, SetFrame(0x20, v));
      EXPECT_EQ(host.Mode(h), expected[v]) << "monitor out " << int(v) << " high speed " << highSpeed;
    }
  }
}

TEST(SimFrames, TestPictureIsDeterministicForASeedAndShowsItsLandmarks) {
  auto picture = [](std::uint32_t seed) {
    sim::SimOptions options;
    options.seed = seed;
    options.startMode = 0;
    Host host(options);
    const auto h = host.Open();
    host.Out(h, 0xB4);
    return host.driver->Camera(0).LastFramePicture();
  };
  const auto a = picture(7), b = picture(7), c = picture(8);
  EXPECT_EQ(a.bgr, b.bgr);
  EXPECT_NE(a.bgr, c.bgr);

  auto at = [&](int x, int y) { return &a.bgr[(static_cast<std::size_t>(y) * a.width + x) * 3]; };
  // The arrow's head sits in the top-left corner and is red.
  const std::uint8_t* head = at(12, 12);
  EXPECT_GT(head[2], 180);
  EXPECT_LT(head[1], 80);
  // Colour bars along the lower part: yellow (second bar) has no blue, blue (seventh) no red.
  const int barY = 480 * 76 / 100, barW = (640 - 64) / 8;
  const std::uint8_t* yellow = at(32 + barW * 3 / 2, barY);
  EXPECT_GT(yellow[2], 200);
  EXPECT_LT(yellow[0], 50);
  const std::uint8_t* blue = at(32 + barW * 13 / 2, barY);
  EXPECT_GT(blue[0], 200);
  EXPECT_LT(blue[2], 50);
  // The picture is not symmetric: mirrored or flipped it differs.
  EXPECT_NE(at(5, 5)[2] == at(634, 5)[2] && at(12, 12)[2] == at(627, 12)[2], true);
}

TEST(SimFrames, PacedDeliveryCarriesTheSameBytes) {
  sim::SimOptions options;
  options.startMode = 4;
  options.highSpeed = false;
  options.paced = true;
  options.timeScale = 0.01;
  Link link(options);
  auto pipes = link.Fetch(57600);
  for (const auto& p : pipes) ASSERT_EQ(p.size(), 57600u);
  EXPECT_TRUE(Reassemble(320, 240, pipes) == link.host.driver->Camera(0).LastFramePicture().bgr);
}

TEST(SimFrames, FourReadersAndTwoOtherThreadsAtOnce) {
  sim::SimOptions options;
  options.startMode = 4;
  Link link(options);
  std::atomic<bool> stop{false};
  std::thread ui([&] {
    const auto h = link.host.Open();
    while (!stop) {
      link.host.Exchange(h, SetFrame(0x31, 1));
      link.host.Exchange(h, QueryFrame(0x20));
      link.host.Exchange(h, SetFrame(0x31, 0));
      (void)link.host.driver->Camera(0).Settings();
    }
    link.host.driver->Close(h);
  });
  for (int frame = 0; frame < 20; ++frame) {
    ASSERT_EQ(link.host.Mode(link.control), 4);
    ASSERT_TRUE(link.host.Out(link.control, 0xB4));
    std::array<std::thread, 4> readers;
    std::array<std::size_t, 4> sizes{};
    for (std::uint32_t p = 0; p < 4; ++p) {
      readers[p] = std::thread([&, p] { sizes[p] = link.host.ReadShare(link.readers[p], p, 57600).size(); });
    }
    for (auto& t : readers) t.join();
    for (auto s : sizes) ASSERT_EQ(s, 57600u);
  }
  stop = true;
  ui.join();
}

// The host reads the mode, then asks for a frame of that size. A Monitor Out
// change falling between the two must not shrink the frame under the readers:
// they would wait for bytes that never come and give the link up as stalled.
TEST(SimFrames, FrameFollowsTheModeTheHostReadEvenWhenMonitorOutChangesInBetween) {
  sim::SimOptions options;
  options.timeScale = 0.01;  // a wrongly short pipe fails fast instead of after the full time-out
  Host host(options);
  const auto h = host.Open();
  ASSERT_EQ(host.Mode(h), 2);           // XGA
  host.Exchange(h, SetFrame(0x20, 1));  // VGA, after the host's query
  ASSERT_TRUE(host.Out(h, 0xB4));
  EXPECT_EQ(host.ReadShare(h, 0, 589824).size(), 589824u) << "the frame the host asked for is XGA";

  ASSERT_EQ(host.Mode(h), 0);  // the host now sees VGA ...
  ASSERT_TRUE(host.Out(h, 0xB4));
  EXPECT_EQ(host.ReadShare(h, 0, 230400).size(), 230400u);  // ... and gets it

  host.Exchange(h, SetFrame(0x20, 0));  // without a query in between the camera's own mode counts
  ASSERT_TRUE(host.Out(h, 0xB4));
  EXPECT_EQ(host.ReadShare(h, 0, 589824).size(), 589824u);
}

}  // namespace
}  // namespace simtest
