// The live H.264 feed for network viewers, read as a viewer would and
// decoded back with ffprobe: where a viewer starts, what a turn or a frozen
// picture does to its stream, and what a viewer or a push that stops
// reading costs.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "broadcast/live_h264_feed.h"
#include "push_test_support.h"

using namespace pushtest;
using namespace std::chrono_literals;

namespace {

// One viewer: the fragments the feed picks for it, with the initialisation
// segment in front of the first and of each after a size change.
class Viewer {
 public:
  explicit Viewer(CLiveH264Feed& feed) : m_feed(feed) { m_after = m_feed.AddViewer(); }
  ~Viewer() { m_feed.RemoveViewer(); }

  // Takes the next fragment; false when none came within the bound.
  bool Take() {
    auto fragment = m_feed.WaitNext(m_after, m_started, 5s);
    if (!fragment) return false;
    if (m_started && fragment->sequence > m_after + 1) skipped += fragment->sequence - m_after - 1;
    if (fragment->init->generation != m_generation) {
      starts.push_back(bytes.size());
      bytes.insert(bytes.end(), fragment->init->bytes.begin(), fragment->init->bytes.end());
      m_generation = fragment->init->generation;
      ++inits;
      takenInPart = 0;
    }
    bytes.insert(bytes.end(), fragment->bytes.begin(), fragment->bytes.end());
    if (!m_started) firstWasKey = fragment->key;
    keys += fragment->key ? 1 : 0;
    m_after = fragment->sequence;
    m_started = true;
    ++taken;
    ++takenInPart;
    return true;
  }

  // What it received from its `part`th initialisation segment on, as a file.
  std::string Save(const ScratchFolder& folder, const std::string& name, std::size_t part = 0) const {
    const std::string path = folder.File(name);
    const std::size_t from = part < starts.size() ? starts[part] : bytes.size();
    const std::size_t to = part + 1 < starts.size() ? starts[part + 1] : bytes.size();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data() + from), static_cast<std::streamsize>(to - from));
    return path;
  }

  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> starts;  // where each initialisation segment begins
  int taken = 0;
  int takenInPart = 0;  // since the latest initialisation segment
  int inits = 0;
  int keys = 0;
  std::uint64_t skipped = 0;
  bool firstWasKey = false;

 private:
  CLiveH264Feed& m_feed;
  std::uint64_t m_after = 0;
  bool m_started = false;
  std::uint64_t m_generation = 0;
};

// Scheduled key frames far apart: any other key frame was asked for.
LiveH264Settings RareKeys() {
  LiveH264Settings settings;
  settings.keyIntervalMs = 60000;
  settings.repeatHeld = 5s;
  return settings;
}

// Shows pictures `first`.. one by one, each once the feed made a fragment of the one before.
void Show(CLiveH264Feed& feed, int width, int height, int first, int count) {
  for (int i = first; i < first + count; ++i) {
    const std::uint64_t before = feed.FragmentsMade();
    ShowPicture(feed, MakePicture(width, height, i), i);
    ASSERT_TRUE(WaitFor([&] { return feed.FragmentsMade() > before; }, 10s)) << "picture " << i;
  }
}

}  // namespace

TEST(LiveH264Feed, ViewersShareOneEncoderAndALateOneDecodesFromItsFirstFragment) {
  ScratchFolder folder;
  CLiveH264Feed feed(RareKeys());
  feed.Start();
  ShowPicture(feed, MakePicture(640, 480, 0), 0);
  EXPECT_FALSE(WaitFor([&] { return feed.EncoderRunning(); }, 300ms)) << "an encoder ran with nobody watching";

  auto first = std::make_unique<Viewer>(feed);
  Show(feed, 640, 480, 1, 12);
  while (first->Take() && first->taken < 12) {
  }
  // Joining long after the only scheduled key frame.
  auto late = std::make_unique<Viewer>(feed);
  Show(feed, 640, 480, 13, 10);
  while (first->taken < 22 && first->Take()) {
  }
  while (late->taken < 10 && late->Take()) {
  }
  EXPECT_EQ(feed.EncodersOpened(), 1u);
  EXPECT_TRUE(late->firstWasKey);
  EXPECT_EQ(late->keys, 1) << "one key frame asked for, one made";

  for (const auto* viewer : {first.get(), late.get()}) {
    const std::string path = viewer->Save(folder, viewer == late.get() ? "late.mp4" : "first.mp4");
    EXPECT_EQ(ProbeCodec(path), "h264,yuv420p");
    const auto frames = ProbeFrames(path);
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(viewer->taken)) << path;
    EXPECT_TRUE(frames.front().key);
    EXPECT_EQ(frames.back().width, 640);
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_GT(frames[i].seconds, frames[i - 1].seconds);
  }

  first.reset();
  late.reset();
  EXPECT_TRUE(WaitFor([&] { return !feed.EncoderRunning(); }, 5s)) << "the encoder kept running for nobody";
}

TEST(LiveH264Feed, ATurnStartsANewSegmentAndAFrozenPictureKeepsComing) {
  ScratchFolder folder;
  LiveH264Settings settings;
  settings.repeatHeld = 100ms;
  settings.maxBehind = 20s;  // the viewer reads only at the end
  CLiveH264Feed feed(settings);
  feed.Start();
  Viewer viewer(feed);
  Show(feed, 640, 480, 0, 6);
  Show(feed, 480, 640, 6, 6);  // turned
  // Frozen: nothing new is shown, yet the stream goes on.
  const std::uint64_t before = feed.FragmentsMade();
  EXPECT_TRUE(WaitFor([&] { return feed.FragmentsMade() >= before + 3; }, 10s));
  // The six turned pictures and three repeats of the held one; a slow machine
  // may repeat a held picture between two shown ones too, in either part.
  while ((viewer.inits < 2 || viewer.takenInPart < 9) && viewer.Take()) {
  }
  ASSERT_EQ(viewer.inits, 2);
  // Each part decodes on its own, as a player takes a new initialisation segment.
  const auto before_turn = ProbeFrames(viewer.Save(folder, "upright.mp4", 0));
  const auto after_turn = ProbeFrames(viewer.Save(folder, "turned.mp4", 1));
  ASSERT_GE(before_turn.size(), 6u);
  ASSERT_GE(after_turn.size(), 9u);
  ASSERT_EQ(before_turn.size() + after_turn.size(), static_cast<std::size_t>(viewer.taken));
  EXPECT_EQ(before_turn.back().width, 640);
  EXPECT_TRUE(after_turn.front().key);
  for (const ProbedFrame& frame : after_turn) EXPECT_EQ(frame.height, 640);
}

TEST(LiveH264Feed, AViewerThatStopsReadingSkipsToAKeyFrameAndCostsNoMemory) {
  LiveH264Settings settings;
  settings.keyIntervalMs = 500;
  settings.maxBehind = 300ms;
  CLiveH264Feed feed(settings);
  feed.Start();
  Viewer stalled(feed);
  Viewer reader(feed);
  std::size_t largestWindow = 0;
  for (int i = 0; i < 60; ++i) {
    Show(feed, 320, 240, i, 1);
    ASSERT_TRUE(reader.Take());
    if (i == 0) {
      ASSERT_TRUE(stalled.Take());  // then it stops reading
    }
    largestWindow = std::max(largestWindow, feed.WindowBytes());
    std::this_thread::sleep_for(20ms);  // about two seconds of pictures in all
  }
  ASSERT_TRUE(stalled.Take());
  EXPECT_GT(stalled.skipped, 20u);
  EXPECT_EQ(stalled.keys, 2) << "the skip lands on a key frame";
  EXPECT_EQ(reader.skipped, 0u);
  // The window holds a few seconds at most, however long a viewer sleeps.
  EXPECT_LT(largestWindow, 60u * 64u * 1024u);
  EXPECT_LE(feed.WindowBytes(), largestWindow);
}

TEST(LiveH264Feed, APushThatStopsTakingPacketsHoldsNoViewerBackAndRestartsAtAKeyFrame) {
  H264Choice choice;
  choice.keyIntervalMs = 60000;
  choice.repeatHeld = 5s;
  CH264PacketQueue push(choice);  // outlives the feed, which may hand it packets until it stops
  CLiveH264Feed feed(RareKeys());
  feed.AttachPackets(push);
  push.SetWanted(true);
  feed.Start();
  Viewer reader(feed);
  const int shown = static_cast<int>(CH264PacketQueue::kCapacity) + 10;
  for (int i = 0; i < shown; ++i) {
    Show(feed, 320, 240, i, 1);
    ASSERT_TRUE(reader.Take());
  }
  EXPECT_EQ(reader.skipped, 0u);
  EXPECT_EQ(feed.EncodersOpened(), 1u);
  EXPECT_GT(push.Dropped(), CH264PacketQueue::kCapacity - 1);
  // What is left starts where a decoder can: the key frame asked for after the drop.
  const auto first = push.PopUntil(std::chrono::steady_clock::now());
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->key);
  EXPECT_EQ(first->stream->width, 320);
  feed.DetachPackets(push);
}
