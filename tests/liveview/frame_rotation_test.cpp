// Quarter turns of the picture: the pixel mapping of every turn (on sizes
// that leave partial tiles), bottom-up sources, the painted view and the
// snapshot that output writes from.
#include "liveview/frame_rotation.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include <QImage>

#include "liveview/aligned_bytes.h"
#include "liveview/frame_bitmap.h"
#include "liveview/frame_rotation_kernels.h"
#include "liveview/frame_snapshot.h"
#include "liveview/live_view.h"
#include "test_pictures.h"

namespace {

// Where output pixel (x, y) of a clockwise turn comes from, written out
// geometrically rather than as the kernel's offsets.
QPoint SourceOf(int x, int y, int width, int height, int turns) {
  switch (turns) {
    case 1: return {y, height - 1 - x};
    case 2: return {width - 1 - x, height - 1 - y};
    case 3: return {width - 1 - y, x};
    default: return {x, y};
  }
}

std::vector<std::uint8_t> Turned(const std::vector<std::uint8_t>& picture, int width, int height, int turns) {
  const TurnedSize size = TurnSize(width, height, turns);
  std::vector<std::uint8_t> out(picture.size(), 0xEE);
  TurnPixels({picture.data(), width * 3, width, height}, turns, out.data(), size.width * 3);
  return out;
}

void FillPattern(CFrameBitmap& bitmap, int seed) {
  const auto picture = PatternPicture(seed, bitmap.Width(), bitmap.Height());
  std::memcpy(bitmap.Pixels(), picture.data(), picture.size());
  auto lock = bitmap.LockBuffers();
  bitmap.SyncToPackedBitmap();
}

}  // namespace

TEST(FrameRotation, EveryTurnMovesEachPixelWhereTheTurnPutsIt) {
  // 70 x 45 leaves partial tiles in both directions.
  for (const auto& [width, height] : {std::pair{70, 45}, std::pair{5, 3}, std::pair{1, 9}}) {
    const auto picture = PatternPicture(3, width, height);
    for (int turns = 0; turns < 4; ++turns) {
      const TurnedSize size = TurnSize(width, height, turns);
      EXPECT_EQ(size.width, turns % 2 ? height : width);
      const auto out = Turned(picture, width, height, turns);
      int wrong = 0;
      for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
          const QPoint from = SourceOf(x, y, width, height, turns);
          std::uint8_t expected[3];
          PatternPixel(3, from.x(), from.y(), expected);
          if (std::memcmp(&out[(static_cast<std::size_t>(y) * size.width + x) * 3], expected, 3) != 0) ++wrong;
        }
      }
      EXPECT_EQ(wrong, 0) << width << "x" << height << " turned " << turns;
    }
  }
}

TEST(FrameRotation, TurnsComposeAndABottomUpSourceReadsTheSame) {
  const int width = 37, height = 66;
  const auto picture = PatternPicture(9, width, height);
  // Clockwise then counter-clockwise, and four clockwise, give the picture back.
  const auto once = Turned(picture, width, height, 1);
  EXPECT_EQ(Turned(once, height, width, 3), picture);
  EXPECT_EQ(Turned(Turned(once, height, width, 1), width, height, 1), Turned(picture, width, height, 3));

  // The same rows stored bottom-up with padding, addressed by a negative step.
  const int stride = (width * 3 + 3) & ~3;
  std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(stride) * height, 0x11);
  for (int y = 0; y < height; ++y)
    std::memcpy(&bottomUp[static_cast<std::size_t>(height - 1 - y) * stride], &picture[y * width * 3], width * 3);
  for (int turns = 0; turns < 4; ++turns) {
    const TurnedSize size = TurnSize(width, height, turns);
    std::vector<std::uint8_t> out(picture.size());
    TurnPixels({&bottomUp[static_cast<std::size_t>(height - 1) * stride], -stride, width, height}, turns, out.data(),
               size.width * 3);
    EXPECT_EQ(out, Turned(picture, width, height, turns)) << turns;

    std::vector<std::uint32_t> wide(static_cast<std::size_t>(width) * height);
    TurnPixelsToRgb32({picture.data(), width * 3, width, height}, turns, wide.data(), size.width);
    const QPoint from = SourceOf(size.width - 1, 1, width, height, turns);
    EXPECT_EQ(QColor::fromRgb(wide[static_cast<std::size_t>(size.width) + size.width - 1]),
              PatternColor(9, from.x(), from.y()));
    EXPECT_EQ(wide[0] >> 24, 0xFFu) << "opaque";
  }
}

using TurnKernelFunction = void (*)(const PixelRows&, int, std::uint8_t*, std::ptrdiff_t);

struct VectorKernel {
  const char* name;
  bool available;
  TurnKernelFunction narrow;
  TurnKernelFunction wide;
};

// A set's turns, where this build and processor have them.
VectorKernel KernelOf(const char* name, const rotation_kernels::TurnKernelSet* set) {
  if (set == nullptr) return {name, false, nullptr, nullptr};
  return {name, true, set->turnQuarter, set->turnQuarterToRgb32};
}

const VectorKernel kKernels[] = {
    KernelOf("ssse3", rotation_kernels::Ssse3TurnKernels()),
    KernelOf("avx2", rotation_kernels::Avx2TurnKernels()),
    KernelOf("avx512", rotation_kernels::Avx512TurnKernels()),
};

TEST(FrameRotation, VectorKernelsWriteThePlainKernelsBytes) {
  int ran = 0;
  for (const VectorKernel& kernel : kKernels) {
    if (!kernel.available) continue;
    ++ran;
    // Sizes around the block and tile edges, and the largest picture with
    // its last row last in memory (no slack after it).
    for (const auto& [width, height] :
         {std::pair{1024, 768}, std::pair{37, 66}, std::pair{6, 7}, std::pair{9, 5}, std::pair{19, 17},
          std::pair{33, 1}, std::pair{1, 33}, std::pair{50, 35}, std::pair{83, 97}}) {
      const std::vector<std::uint8_t> exact = PatternPicture(11, width, height);  // no byte beyond the picture
      for (const int turns : {1, 3}) {
        const PixelRows rows{exact.data(), width * 3, width, height};
        std::vector<std::uint8_t> vector(exact.size(), 1), plain(exact.size(), 2);
        kernel.narrow(rows, turns, vector.data(), height * 3);
        rotation_kernels::TurnPlain(rows, turns, plain.data(), height * 3);
        EXPECT_EQ(vector, plain) << kernel.name << " " << width << "x" << height << " turned " << turns;
        std::vector<std::uint8_t> wideVector(exact.size() / 3 * 4, 1), widePlain(exact.size() / 3 * 4, 2);
        kernel.wide(rows, turns, wideVector.data(), height * 4);
        rotation_kernels::TurnToRgb32Plain(rows, turns, widePlain.data(), height * 4);
        EXPECT_EQ(wideVector, widePlain) << kernel.name << " " << width << "x" << height << " turned " << turns
                                         << " wide";
      }
    }
  }
  if (ran == 0) GTEST_SKIP() << "no vector set on this processor";
}

// Bytes between two pages nobody may touch: a kernel that reads one byte
// before or after the picture stops the test with a fault.
class GuardedPicture {
 public:
  GuardedPicture(const std::vector<std::uint8_t>& picture, bool atEnd) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t inner = (picture.size() + page - 1) / page * page;
    m_bytes = inner + 2 * page;
    void* map = mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) return;
    m_map = static_cast<std::uint8_t*>(map);
    mprotect(m_map, page, PROT_NONE);
    mprotect(m_map + page + inner, page, PROT_NONE);
    m_picture = m_map + page + (atEnd ? inner - picture.size() : 0);
    std::memcpy(m_picture, picture.data(), picture.size());
  }
  ~GuardedPicture() {
    if (m_map != nullptr) munmap(m_map, m_bytes);
  }
  GuardedPicture(const GuardedPicture&) = delete;
  GuardedPicture& operator=(const GuardedPicture&) = delete;
  const std::uint8_t* Picture() const { return m_picture; }

 private:
  std::uint8_t* m_map = nullptr;
  std::size_t m_bytes = 0;
  std::uint8_t* m_picture = nullptr;
};

TEST(FrameRotation, VectorKernelsReadNothingOutsideThePicture) {
  for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{48, 32}, std::pair{50, 35}}) {
    const std::vector<std::uint8_t> picture = PatternPicture(12, width, height);
    for (const bool atEnd : {true, false}) {
      const GuardedPicture guarded(picture, atEnd);
      ASSERT_NE(guarded.Picture(), nullptr);
      const PixelRows rows{guarded.Picture(), width * 3, width, height};
      for (const VectorKernel& kernel : kKernels) {
        if (!kernel.available) continue;
        for (const int turns : {1, 3}) {
          // On cache lines, as the program's buffers are: the large picture
          // takes the streamed path where there is one.
          const AlignedBytes vector = MakeAlignedBytes(picture.size()), plain = MakeAlignedBytes(picture.size());
          kernel.narrow(rows, turns, vector.get(), height * 3);
          rotation_kernels::TurnPlain(rows, turns, plain.get(), height * 3);
          EXPECT_EQ(std::memcmp(vector.get(), plain.get(), picture.size()), 0)
              << kernel.name << " " << width << "x" << height << " turned " << turns;
          std::vector<std::uint8_t> wide(picture.size() / 3 * 4), widePlain(wide.size());
          kernel.wide(rows, turns, wide.data(), height * 4);
          rotation_kernels::TurnToRgb32Plain(rows, turns, widePlain.data(), height * 4);
          EXPECT_EQ(wide, widePlain) << kernel.name << " " << width << "x" << height << " turned " << turns << " wide";
        }
      }
    }
  }
}

// Rows on cache lines, the case where a large turn streams whole lines past
// the cache: every pixel as the plain kernel puts it, the bytes between the
// rows and after the last one untouched. Sizes with rows whose blocks would
// read past the source rows' ends, with columns left over after the wide
// blocks, and one too small to stream.
TEST(FrameRotation, TurnsIntoCacheLineRowsWriteThePlainKernelsBytesAndNothingBetweenTheRows) {
  struct Case {
    int width, height;
    std::ptrdiff_t outStep;  // a multiple of 64, at least the output row
  };
  int ran = 0;
  for (const VectorKernel& kernel : kKernels) {
    if (!kernel.available) continue;
    ++ran;
    for (const Case c : {Case{1024, 768, 2304}, Case{1500, 704, 2112}, Case{700, 700, 2112}, Case{300, 256, 768}}) {
      const std::vector<std::uint8_t> picture = PatternPicture(13, c.width, c.height);
      const PixelRows rows{picture.data(), c.width * 3, c.width, c.height};
      const std::size_t bytes = static_cast<std::size_t>(c.outStep) * static_cast<std::size_t>(c.width) + 64;
      for (const int turns : {1, 3}) {
        const AlignedBytes vector = MakeAlignedBytes(bytes), plain = MakeAlignedBytes(bytes);
        std::memset(vector.get(), 0xA5, bytes);
        std::memset(plain.get(), 0xA5, bytes);
        kernel.narrow(rows, turns, vector.get(), c.outStep);
        rotation_kernels::TurnPlain(rows, turns, plain.get(), c.outStep);
        EXPECT_EQ(std::memcmp(vector.get(), plain.get(), bytes), 0)
            << kernel.name << " " << c.width << "x" << c.height << " into rows " << c.outStep << " apart, turned "
            << turns;
      }
    }
  }
  if (ran == 0) GTEST_SKIP() << "no vector set on this processor";
}

// The painted picture's rows widened without a turn, as every frame is
// painted: top-down and bottom-up, rows ending part way through a vector,
// and the picture last in memory, between pages nobody may touch.
TEST(FrameRotation, VectorWideningWritesThePlainKernelsBytesAndReadsOnlyThePicture) {
  const struct {
    const char* name;
    const rotation_kernels::TurnKernelSet* set;
  } kWideners[] = {{"ssse3", rotation_kernels::Ssse3TurnKernels()}, {"avx512", rotation_kernels::Avx512TurnKernels()}};
  int ran = 0;
  for (const auto& widener : kWideners) {
    if (widener.set == nullptr) continue;
    ++ran;
    for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{1, 3}, std::pair{5, 2}, std::pair{16, 4},
                                        std::pair{17, 3}, std::pair{37, 9}}) {
      const std::vector<std::uint8_t> picture = PatternPicture(14, width, height);
      for (const bool atEnd : {true, false}) {
        const GuardedPicture guarded(picture, atEnd);
        ASSERT_NE(guarded.Picture(), nullptr);
        const std::ptrdiff_t step = width * 3;
        for (const bool bottomUp : {false, true}) {
          const PixelRows rows = bottomUp ? PixelRows{guarded.Picture() + (height - 1) * step, -step, width, height}
                                          : PixelRows{guarded.Picture(), step, width, height};
          std::vector<std::uint8_t> vector(picture.size() / 3 * 4 + 8, 1), plain(vector.size(), 1);
          widener.set->widenRows(rows, vector.data(), width * 4);
          rotation_kernels::TurnToRgb32Plain(rows, 0, plain.data(), width * 4);
          EXPECT_EQ(vector, plain) << widener.name << " " << width << "x" << height << (bottomUp ? " bottom-up" : "");
        }
      }
    }
  }
  if (ran == 0) GTEST_SKIP() << "no vector set on this processor";
}

TEST(FrameRotation, DegreesOutsideTheFourTurnsAreRefused) {
  EXPECT_EQ(QuarterTurnsForDegrees(0), 0);
  EXPECT_EQ(QuarterTurnsForDegrees(270), 3);
  for (int degrees : {-90, 45, 360, 1}) EXPECT_FALSE(QuarterTurnsForDegrees(degrees)) << degrees;
}

TEST(FrameRotation, SnapshotOfAnXgaFrameIsThePortraitPictureInBothCopies) {
  CFrameBitmap shown;
  ASSERT_TRUE(shown.Create(1024, 768, 24));
  FillPattern(shown, 4);
  CFrameBitmap snapshot;
  ASSERT_TRUE(TakeTurnedSnapshot(shown, 1, snapshot));
  ASSERT_EQ(snapshot.Width(), 768);
  ASSERT_EQ(snapshot.Height(), 1024);
  const auto expected = Turned(PatternPicture(4, 1024, 768), 1024, 768, 1);
  EXPECT_EQ(std::memcmp(snapshot.Pixels(), expected.data(), expected.size()), 0);
  // The packed rows (what the writers read) hold the same picture bottom-up.
  const std::uint8_t* bottomRow = snapshot.PackedBitmap() + CFrameBitmap::kHeaderBytes;
  EXPECT_EQ(std::memcmp(bottomRow, &expected[static_cast<std::size_t>(1023) * 768 * 3], 768 * 3), 0);

  // Turn 0 is a plain copy; a bitmap without a picture gives none.
  ASSERT_TRUE(TakeTurnedSnapshot(shown, 0, snapshot));
  EXPECT_EQ(std::memcmp(snapshot.PackedBitmap(), shown.PackedBitmap(), shown.PackedBitmapBytes()), 0);
  CFrameBitmap empty;
  EXPECT_FALSE(TakeTurnedSnapshot(empty, 1, snapshot));
}

TEST(FrameRotation, TheViewPaintsTheTurnedPicture) {
  CLiveView view;
  CFrameBitmap& bitmap = view.Bitmap();
  ASSERT_TRUE(bitmap.Create(64, 40, 24));
  FillPattern(bitmap, 6);
  view.resize(40, 64);
  view.SetQuarterTurns(1);
  const QImage shown = view.grab().toImage();
  for (QPoint p : {QPoint(0, 0), QPoint(39, 0), QPoint(0, 63), QPoint(17, 29)}) {
    const QPoint from = SourceOf(p.x(), p.y(), 64, 40, 1);
    EXPECT_EQ(shown.pixelColor(p), PatternColor(6, from.x(), from.y())) << p.x() << "," << p.y();
  }
  view.SetQuarterTurns(0);
  view.resize(64, 40);
  EXPECT_EQ(view.grab().toImage().pixelColor(63, 0), PatternColor(6, 63, 0));
}
