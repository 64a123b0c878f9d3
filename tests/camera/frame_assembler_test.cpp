// Frame assembly from the four pipes' bytes, with no device at all.
#include "camera/frame_assembler.h"

#include <gtest/gtest.h>

#include <vector>

#include "camera/frame_assembler_kernels.h"
#include "camera/frame_layout.h"
#include "frame_pattern.h"

namespace {

using camera::AssembleFrameDirect;
using camera::AssembleFrameStaged;
using camera::FrameShape;
using camera::PipeViews;
using test_support::MakeSentFrame;
using test_support::Oriented;
using test_support::SentFrame;

constexpr std::size_t kPipeCapacity = 0x90000;

// Pipe buffers as the link holds them: full size, the frame's bytes at the start.
struct PipeBuffers {
  std::array<std::vector<std::uint8_t>, 4> bytes;
  explicit PipeBuffers(const SentFrame& f) {
    for (std::size_t p = 0; p < 4; ++p) {
      bytes[p].assign(kPipeCapacity, 0xEE);
      std::copy(f.pipes[p].begin(), f.pipes[p].end(), bytes[p].begin());
    }
  }
  PipeViews Views() const { return {bytes[0], bytes[1], bytes[2], bytes[3]}; }
};

FrameShape ShapeOf(int mode) {
  const camera::FrameLayout* l = camera::FindFrameLayout(mode);
  return {l->width, l->height, l->chunkCount};
}

class EveryModeAndOrientation : public ::testing::TestWithParam<std::tuple<int, int>> {};

// Both versions, against the picture worked out pixel by pixel, for every size
// the camera sends (800 and 400 wide rows end inside a chunk triple).
TEST_P(EveryModeAndOrientation, DirectAndStagedDeliverTheOrientedPicture) {
  const auto [mode, orientation] = GetParam();
  const FrameShape shape = ShapeOf(mode);
  const SentFrame sent = MakeSentFrame(shape.width, shape.height, static_cast<std::uint32_t>(mode * 10 + orientation));
  const PipeBuffers pipes(sent);
  const std::vector<std::uint8_t> expected = Oriented(sent, orientation >= 0 && orientation <= 3 ? orientation : 0);

  // Every kernel level this processor runs (a level it lacks falls back to one it has).
  for (auto kernels : {camera::AssemblyKernels::Plain, camera::AssemblyKernels::Ssse3, camera::AssemblyKernels::Avx2}) {
    std::vector<std::uint8_t> direct(expected.size());
    ASSERT_TRUE(AssembleFrameDirect(pipes.Views(), shape, orientation, direct, kernels));
    EXPECT_TRUE(direct == expected) << camera::AssemblyKernelsName(kernels) << " assembly differs, mode " << mode
                                    << " orientation " << orientation;
  }

  std::vector<std::uint8_t> stageA(camera::kBytesPerPixel * 1024 * 768), stageB(stageA.size());
  std::vector<std::uint8_t> staged(expected.size());
  ASSERT_TRUE(AssembleFrameStaged(pipes.Views(), shape, orientation, stageA, stageB, staged));
  EXPECT_TRUE(staged == expected) << "staged assembly differs, mode " << mode << " orientation " << orientation;
}

INSTANTIATE_TEST_SUITE_P(Frames, EveryModeAndOrientation,
                         ::testing::Combine(::testing::Values(0, 1, 2, 4, 5, 6), ::testing::Values(0, 1, 2, 3, 5, -1)));

// A frame of `mode` as sent, and as assembled straight in `orientation`.
struct DirectAssembly {
  SentFrame sent;
  std::vector<std::uint8_t> out;
  bool ok;
};
DirectAssembly AssembleDirect(int mode, int orientation, std::uint32_t seed) {
  const FrameShape shape = ShapeOf(mode);
  DirectAssembly a{MakeSentFrame(shape.width, shape.height, seed), {}, false};
  a.out.resize(a.sent.pixels.size());
  a.ok = AssembleFrameDirect(PipeBuffers(a.sent).Views(), shape, orientation, a.out);
  return a;
}

TEST(FrameAssembly, TurnedFrameStartsWithTheLastPixelSentInItsByteOrder) {
  const auto [sent, out, ok] = AssembleDirect(1, 3, 7);
  ASSERT_TRUE(ok);
  const std::size_t last = sent.pixels.size() - 3;
  EXPECT_EQ(out[0], sent.pixels[last]);
  EXPECT_EQ(out[1], sent.pixels[last + 1]);
  EXPECT_EQ(out[2], sent.pixels[last + 2]);
}

TEST(FrameAssembly, FlippedFrameStartsWithTheLastRowUnmirrored) {
  const auto [sent, out, ok] = AssembleDirect(0, 2, 8);
  ASSERT_TRUE(ok);
  const std::size_t row = 640 * 3;
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + row, sent.pixels.begin() + 479 * row));
}

// The pixel's bytes come from chunks 3j+2, 3j+1 and 3j in that order.
// Runs of every length from 0 to 100 pixels, forwards and reversed, through
// each kernel this processor runs: the vector loops' tails and lane order.
TEST(FrameAssembly, KernelsAgreeOnEveryRunLength) {
  namespace k = camera::kernels;
  using Kernel = void (*)(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t, std::uint8_t*);
  struct Pair {
    const char* name;
    Kernel forward;
    Kernel reverse;
  };
  std::vector<Pair> kernels{{"plain", k::InterleaveForwardPlain, k::InterleaveReversePlain}};
  if (const k::AssemblyKernelSet* set = k::Ssse3Kernels()) kernels.push_back({"SSSE3", set->forward, set->reverse});
  if (const k::AssemblyKernelSet* set = k::Avx2Kernels()) kernels.push_back({"AVX2", set->forward, set->reverse});

  std::vector<std::uint8_t> a(100), b(100), c(100);
  for (std::size_t i = 0; i < 100; ++i) {
    a[i] = static_cast<std::uint8_t>(i);
    b[i] = static_cast<std::uint8_t>(100 + i);
    c[i] = static_cast<std::uint8_t>(255 - i);
  }
  for (std::size_t n = 0; n <= 100; ++n) {
    std::vector<std::uint8_t> forward(3 * n), reverse(3 * n);
    for (std::size_t m = 0; m < n; ++m) {
      forward[3 * m] = a[m], forward[3 * m + 1] = b[m], forward[3 * m + 2] = c[m];
      reverse[3 * m] = a[n - 1 - m], reverse[3 * m + 1] = b[n - 1 - m], reverse[3 * m + 2] = c[n - 1 - m];
    }
    for (const Pair& kernel : kernels) {
      // Exact-size output: a kernel writing past the run shows under AddressSanitizer.
      std::vector<std::uint8_t> out(3 * n);
      kernel.forward(a.data(), b.data(), c.data(), n, out.data());
      EXPECT_EQ(out, forward) << kernel.name << " forward, " << n << " pixels";
      kernel.reverse(a.data(), b.data(), c.data(), n, out.data());
      EXPECT_EQ(out, reverse) << kernel.name << " reverse, " << n << " pixels";
    }
  }
}

TEST(FrameAssembly, PixelBytesComeFromTheTripleInReverseChunkOrder) {
  const FrameShape shape{64, 1, 3};
  std::array<std::vector<std::uint8_t>, 4> bytes;
  for (auto& b : bytes) b.assign(64, 0);
  bytes[0].assign(64, 0x11);  // chunk 0
  bytes[1].assign(64, 0x22);  // chunk 1
  bytes[2].assign(64, 0x33);  // chunk 2
  std::vector<std::uint8_t> out(64 * 3);
  ASSERT_TRUE(AssembleFrameDirect({bytes[0], bytes[1], bytes[2], bytes[3]}, shape, 0, out));
  EXPECT_EQ(out[0], 0x33);
  EXPECT_EQ(out[1], 0x22);
  EXPECT_EQ(out[2], 0x11);
}

TEST(FrameAssembly, RefusesShapesAndBuffersThatDoNotFitAndLeavesTheDestination) {
  const FrameShape shape = ShapeOf(4);
  const SentFrame sent = MakeSentFrame(shape.width, shape.height, 9);
  const PipeBuffers pipes(sent);
  std::vector<std::uint8_t> big(camera::kBytesPerPixel * 1024 * 768);

  std::vector<std::uint8_t> tooSmall(sent.pixels.size() - 1, 0xAB);
  EXPECT_FALSE(AssembleFrameDirect(pipes.Views(), shape, 0, tooSmall));
  EXPECT_FALSE(AssembleFrameStaged(pipes.Views(), shape, 0, big, big, tooSmall));
  EXPECT_TRUE(std::all_of(tooSmall.begin(), tooSmall.end(), [](std::uint8_t b) { return b == 0xAB; }));

  std::vector<std::uint8_t> out(sent.pixels.size());
  EXPECT_FALSE(AssembleFrameDirect(pipes.Views(), {320, 241, 3600}, 0, out)) << "chunks do not cover the frame";
  EXPECT_FALSE(AssembleFrameDirect(pipes.Views(), {64, 2, 6 - 1}, 0, out)) << "chunk count not whole triples";
  EXPECT_FALSE(AssembleFrameDirect(pipes.Views(), {0, 240, 0}, 0, out));

  // A pipe buffer shorter than the frame's share of that pipe.
  PipeViews shortPipe = pipes.Views();
  shortPipe[3] = shortPipe[3].first(camera::PipeBytesUsed(shape.chunkCount, 3) - 1);
  EXPECT_FALSE(AssembleFrameDirect(shortPipe, shape, 0, out));
  EXPECT_FALSE(AssembleFrameStaged(shortPipe, shape, 1, big, big, out));

  std::vector<std::uint8_t> smallStage(sent.pixels.size() - 3);
  EXPECT_FALSE(AssembleFrameStaged(pipes.Views(), shape, 1, smallStage, big, out));
}

// Mode 5's chunks do not split evenly: pipe 0 carries one chunk more.
TEST(FrameAssembly, PipeSharesOfAnUnevenFrame) {
  EXPECT_EQ(camera::PipeBytesUsed(5625, 0), 90048u);
  EXPECT_EQ(camera::PipeBytesUsed(5625, 1), 89984u);
  EXPECT_EQ(camera::PipeBytesUsed(5625, 3), 89984u);
  EXPECT_EQ(camera::PipeBytesUsed(36864, 2), 589824u);
  EXPECT_EQ(camera::PipeBytesUsed(3, 3), 0u);
}

TEST(FrameLayoutTable, SizesSharesAndWaits) {
  EXPECT_EQ(camera::FindFrameLayout(3), nullptr);
  EXPECT_EQ(camera::FindFrameLayout(7), nullptr);
  EXPECT_EQ(camera::FindFrameLayout(-1), nullptr);
  for (int mode : {0, 1, 2, 4, 5, 6}) {
    const camera::FrameLayout* l = camera::FindFrameLayout(mode);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(static_cast<std::size_t>(l->chunkCount) * 64, l->FrameBytes()) << mode;
    EXPECT_EQ(l->chunkCount % 3, 0u) << mode;
    EXPECT_LE(l->bytesPerPipeHighSpeed, kPipeCapacity) << mode;
  }
  EXPECT_EQ(camera::FindFrameLayout(5)->BytesPerPipe(true), 91200u);
  EXPECT_EQ(camera::FindFrameLayout(5)->BytesPerPipe(false), 89984u);
  EXPECT_EQ(camera::FrameWaitLimitsFor(true).firstMs, 4000u);
  EXPECT_EQ(camera::FrameWaitLimitsFor(true).secondMs, 3000u);
  EXPECT_EQ(camera::FrameWaitLimitsFor(false).firstMs, 8000u);
  EXPECT_EQ(camera::FrameWaitLimitsFor(false).secondMs, 4000u);
}

}  // namespace
