#include "broadcast/frame_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

ShownFrame FrameOf(const std::vector<std::uint8_t>& bytes, int width, int height, int rowBytes) {
  ShownFrame frame;
  frame.width = width;
  frame.height = height;
  frame.rowBytes = rowBytes;
  frame.pixels = bytes;
  frame.captured = Clock::now();
  return frame;
}

}  // namespace

TEST(PushFrameQueue, KeepsTheTwoNewestPicturesAndCountsTheDropped) {
  CPushFrameQueue queue;
  for (std::uint8_t value = 1; value <= 5; ++value) {
    const std::vector<std::uint8_t> bytes(4 * 2 * 3, value);
    queue.Push(FrameOf(bytes, 4, 2, 12));
  }
  EXPECT_EQ(queue.Dropped(), 3u);
  QueuedFrame out;
  ASSERT_TRUE(queue.PopUntil(Clock::now(), out));
  EXPECT_EQ(out.pixels.front(), 4);
  ASSERT_TRUE(queue.PopUntil(Clock::now(), out));
  EXPECT_EQ(out.pixels.front(), 5);
  EXPECT_FALSE(queue.PopUntil(Clock::now() + std::chrono::milliseconds(20), out));
  // What the reader holds is its own copy, not the publisher's bytes.
  EXPECT_EQ(out.pixels.size(), 24u);
}

TEST(PushFrameQueue, CopiesRowsWithTheirStrideAndRefusesShortBuffers) {
  CPushFrameQueue queue;
  const std::vector<std::uint8_t> padded(3 * 8, 7);  // 2 pixels, rows 8 bytes apart
  queue.Push(FrameOf(padded, 2, 3, 8));
  const std::vector<std::uint8_t> shortBytes(10, 9);
  queue.Push(FrameOf(shortBytes, 2, 3, 8));  // fewer bytes than rows
  queue.Push(FrameOf(padded, 3, 3, 8));      // rows shorter than the width
  queue.Push(FrameOf(padded, 0, 3, 8));      // no picture at all
  QueuedFrame out;
  ASSERT_TRUE(queue.PopUntil(Clock::now(), out));
  EXPECT_EQ(out.width, 2);
  EXPECT_EQ(out.rowBytes, 8);
  EXPECT_EQ(out.pixels.size(), 24u);
  EXPECT_FALSE(queue.PopUntil(Clock::now(), out));
}

TEST(PushFrameQueue, CloseWakesAWaitingReaderAndLaterPushesAreIgnored) {
  CPushFrameQueue queue;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    queue.Close();
  });
  QueuedFrame out;
  // Without the wake-up this would wait the whole minute.
  EXPECT_FALSE(queue.PopUntil(Clock::now() + std::chrono::minutes(1), out));
  closer.join();
  const std::vector<std::uint8_t> bytes(12, 1);
  queue.Push(FrameOf(bytes, 2, 2, 6));
  EXPECT_FALSE(queue.PopUntil(Clock::now(), out));
}

TEST(PushFrameQueue, PublisherAndReaderOnTwoThreadsHandOverWholePictures) {
  CPushFrameQueue queue;
  constexpr int kPictures = 300;
  std::thread publisher([&] {
    for (int i = 1; i <= kPictures; ++i) {
      const std::vector<std::uint8_t> bytes(64 * 48 * 3, static_cast<std::uint8_t>(i));
      queue.Push(FrameOf(bytes, 64, 48, 64 * 3));
    }
    queue.Close();
  });
  QueuedFrame out;
  int received = 0;
  int last = 0;
  while (queue.PopUntil(Clock::now() + std::chrono::seconds(10), out)) {
    ++received;
    // Every byte of one picture comes from the same publish: no mixing of slots.
    for (std::uint8_t b : out.pixels) ASSERT_EQ(b, out.pixels.front());
    last = out.pixels.front();
  }
  publisher.join();
  EXPECT_GE(received, 1);
  EXPECT_EQ(last, kPictures % 256);
  EXPECT_EQ(static_cast<std::uint64_t>(received) + queue.Dropped(), static_cast<std::uint64_t>(kPictures));
}
