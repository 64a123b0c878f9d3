// The movie writer against an independent reader: what the file says about
// its stream, where the frames sit, and what every failure leaves behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "output/avi_bitmap_info.h"
#include "output/avi_writer.h"
#include "output/movie_clock.h"
#include "output/movie_codecs.h"
#include "platform/failure_record.h"
#include "test_movie_support.h"
#include "tests/support/peak_signal_to_noise.h"

namespace fs = std::filesystem;
using movie_test::MakePackedBitmap;
using movie_test::ReadMovie;
using movie_test::TopDownPixels;

namespace {

class MovieWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("movie-writer-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string PathOf(const std::string& name) const { return (m_dir / name).string(); }

  static MovieOptionsChooser Choose(const std::string& compressor, int quality = 75) {
    return [compressor, quality] { return std::optional<MovieCompression>(MovieCompression{compressor, quality}); };
  }

  // Records frames of `width` x `height` at the given positions.
  void Record(const std::string& path, const std::string& compressor, std::initializer_list<int> positions, int width,
              int height) {
    CAviWriter writer(path, -1, -1, Choose(compressor));
    int seed = 0;
    for (int position : positions) {
      const auto frame = MakePackedBitmap(width, height, seed++);
      writer.SetPosition(position);
      ASSERT_TRUE(writer.AddFrame(frame.data(), width, height)) << AviErrorText(writer.LastError());
    }
    EXPECT_EQ(writer.Close(), AviError::kNone);
  }

  fs::path m_dir;
};

std::uint32_t Field32(const std::vector<std::uint8_t>& chunk, std::size_t at) {
  std::uint32_t value = 0;
  std::memcpy(&value, chunk.data() + at, 4);
  return value;
}

TEST_F(MovieWriterTest, FullFramesKeepEveryPixelAndDescribeTheStream) {
  // 101 pixels: stored rows carry a byte of padding that must not reach the picture.
  const std::string path = PathOf("full.avi");
  Record(path, kMovieFullFrames, {0, 1, 2}, 101, 6);

  const auto movie = ReadMovie(path);
  ASSERT_TRUE(movie.opened);
  movie_test::ExpectFullFrameStream(movie, 101, 6);
  EXPECT_EQ(movie.timeBaseNum, 1);
  EXPECT_EQ(movie.timeBaseDen, 15);
  ASSERT_EQ(movie.packets.size(), 3u);
  ASSERT_EQ(movie.pictures.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(movie.packets[i].pts, i);
    EXPECT_TRUE(movie.packets[i].key);
    EXPECT_EQ(movie.pictures[i], TopDownPixels(MakePackedBitmap(101, 6, i))) << "frame " << i;
  }

  // The stream header: "vids", scale 1 over rate 15, the first frame's image
  // size as the suggested buffer, and the frame rectangle.
  const auto header = movie_test::StreamHeaderChunk(path);
  ASSERT_GE(header.size(), 56u);
  EXPECT_EQ(std::string(header.begin(), header.begin() + 4), "vids");
  EXPECT_EQ(Field32(header, 20), 1u);   // scale
  EXPECT_EQ(Field32(header, 24), 15u);  // rate
  EXPECT_EQ(Field32(header, 36), 304u * 6u);
  std::int16_t rect[4];
  std::memcpy(rect, header.data() + 48, sizeof rect);
  EXPECT_EQ(rect[0], 0);
  EXPECT_EQ(rect[1], 0);
  EXPECT_EQ(rect[2], 101);
  EXPECT_EQ(rect[3], 6);
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(path));
}

TEST_F(MovieWriterTest, SkippedPositionsStayEmptyAndARepeatedOneKeepsTheFirstFrame) {
  const std::string path = PathOf("gaps.avi");
  {
    CAviWriter writer(path, -1, -1, Choose(kMovieFullFrames));
    const int positions[] = {0, 1, 1, 4, 5};
    for (int i = 0; i < 5; ++i) {
      const auto frame = MakePackedBitmap(32, 8, i);
      writer.SetPosition(positions[i]);
      EXPECT_TRUE(writer.AddFrame(frame.data(), 32, 8)) << "tick " << i;
    }
    EXPECT_TRUE(writer.IsOk());
  }
  const auto movie = ReadMovie(path);
  ASSERT_TRUE(movie.opened);
  EXPECT_EQ(movie.streamLength, 6);
  ASSERT_EQ(movie.packets.size(), 4u);
  EXPECT_EQ(movie.packets[0].pts, 0);
  EXPECT_EQ(movie.packets[1].pts, 1);
  EXPECT_EQ(movie.packets[2].pts, 4);
  EXPECT_EQ(movie.packets[3].pts, 5);
  ASSERT_EQ(movie.pictures.size(), 4u);
  EXPECT_EQ(movie.pictures[1], TopDownPixels(MakePackedBitmap(32, 8, 1)));  // the first of the repeated slot
  EXPECT_EQ(movie.pictures[2], TopDownPixels(MakePackedBitmap(32, 8, 3)));
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(path));

  // Converted to a constant 15 frames a second, the empty slots repeat a
  // neighbouring frame (the converter may pull the next one forward by up to
  // half a slot) instead of shortening the movie.
  const auto shown = movie_test::ConstantRateFrameHashes(path);
  if (!shown.empty()) {
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[2], shown[1]);
    EXPECT_TRUE(shown[3] == shown[1] || shown[3] == shown[4]);
    EXPECT_NE(shown[4], shown[1]);
    EXPECT_NE(shown[5], shown[4]);
  }
}

TEST_F(MovieWriterTest, AChangedFrameSizeIsRefusedAndTheEarlierFramesStayPlayable) {
  const std::string path = PathOf("resized.avi");
  {
    CAviWriter writer(path, -1, -1, Choose(kMovieFullFrames));
    for (int i = 0; i < 3; ++i) {
      const auto frame = MakePackedBitmap(64, 48, i);
      writer.SetPosition(i);
      ASSERT_TRUE(writer.AddFrame(frame.data(), 64, 48));
    }
    const auto larger = MakePackedBitmap(80, 60, 9);
    writer.SetPosition(3);
    EXPECT_FALSE(writer.AddFrame(larger.data(), 64, 48));
    EXPECT_EQ(writer.LastError(), AviError::kFrameSizeChanged);
    EXPECT_TRUE(writer.IsOk());  // a refusal, not a failure of the file
  }
  const auto movie = ReadMovie(path);
  ASSERT_TRUE(movie.opened);
  EXPECT_EQ(movie.width, 64);
  EXPECT_EQ(movie.height, 48);
  EXPECT_EQ(movie.packets.size(), 3u);
  EXPECT_EQ(movie.decodeErrors, 0);
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(path));
}

TEST_F(MovieWriterTest, CancelledOptionsLeaveAnEmptyButValidMovieAndRefuseEveryLaterFrame) {
  const std::string path = PathOf("cancelled.avi");
  int asked = 0;
  {
    CAviWriter writer(path, -1, -1, [&asked] {
      ++asked;
      return std::optional<MovieCompression>();
    });
    const auto frame = MakePackedBitmap(64, 48, 0);
    EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
    EXPECT_EQ(writer.LastError(), AviError::kOptionsCancelled);
    EXPECT_FALSE(writer.IsOk());
    writer.SetPosition(1);
    EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
    EXPECT_EQ(writer.LastError(), AviError::kNotUsable);
  }
  EXPECT_EQ(asked, 1);
  ASSERT_TRUE(fs::exists(path));
  const auto movie = ReadMovie(path);
  ASSERT_TRUE(movie.opened);
  EXPECT_EQ(movie.packets.size(), 0u);
  EXPECT_EQ(movie.width, 64);
  std::string said;
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(path, &said)) << said;
}

TEST_F(MovieWriterTest, BadPicturesAreRefusedBeforeAnyFileExists) {
  const std::string path = PathOf("never.avi");
  CAviWriter writer(path, -1, -1, Choose(kMovieFullFrames));
  EXPECT_FALSE(writer.AddFrame(nullptr, 64, 48));
  EXPECT_EQ(writer.LastError(), AviError::kNoBitmap);

  auto frame = MakePackedBitmap(64, 48, 0);
  frame[14] = 32;  // 32 bits per pixel
  EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
  EXPECT_EQ(writer.LastError(), AviError::kBadBitmap);

  frame = MakePackedBitmap(64, 48, 0);
  const std::uint32_t tooLarge = 64 * 3 * 48 * 4;  // claims more rows than the bitmap holds
  std::memcpy(&frame[20], &tooLarge, 4);
  EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
  EXPECT_EQ(writer.LastError(), AviError::kBadBitmap);

  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(writer.IsOk());
}

TEST_F(MovieWriterTest, AnExpectedSizeFromTheCallerMustMatchTheFirstFrame) {
  CAviWriter writer(PathOf("sized.avi"), -1, -1, Choose(kMovieFullFrames));
  const auto frame = MakePackedBitmap(64, 48, 0);
  EXPECT_FALSE(writer.AddFrame(frame.data(), 640, 480));
  EXPECT_EQ(writer.LastError(), AviError::kFrameSizeChanged);
  EXPECT_TRUE(writer.AddFrame(frame.data(), 64, 48));
}

TEST_F(MovieWriterTest, UnwritableDestinationsFailWithoutCrashing) {
  const auto frame = MakePackedBitmap(64, 48, 0);
  {
    CAviWriter writer(PathOf("no-such-folder/x.avi"), -1, -1, Choose(kMovieFullFrames));
    EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
    EXPECT_EQ(writer.LastError(), AviError::kCannotCreateFile);
    EXPECT_FALSE(writer.IsOk());
  }
  if (fs::exists("/dev/full")) {
    // Every write fails with a full disk.
    CAviWriter writer("/dev/full", -1, -1, Choose(kMovieFullFrames));
    EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
    EXPECT_FALSE(writer.IsOk());
    EXPECT_NE(writer.Close(), AviError::kNone);
  }
}

// Support gets the media library's reason beside ours.
TEST_F(MovieWriterTest, FailuresKeepTheMediaLibrarysReason) {
  const auto frame = MakePackedBitmap(64, 48, 0);
  const std::string missing = PathOf("no-such-folder/x.avi");
  {
    CAviWriter writer(missing, -1, -1, Choose(kMovieFullFrames));
    EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
  }
  auto failure = platform::Failures().Last();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->what, "recording a movie to " + missing);
  EXPECT_EQ(failure->why, std::string(AviErrorText(AviError::kCannotCreateFile)) + ": No such file or directory");
  if (fs::exists("/dev/full")) {
    CAviWriter writer("/dev/full", -1, -1, Choose(kMovieFullFrames));
    EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
    failure = platform::Failures().Last();
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->why.ends_with(": No space left on device")) << failure->why;
  }
}

TEST_F(MovieWriterTest, ADiskThatFillsUpMidwayEndsTheMovieWithTheFramesBeforeIt) {
  // The file may grow to about four frames past its header: a later write
  // fails as on a full disk. Run in a child, whose file size limit dies with it.
  const std::string path = PathOf("full-disk.avi");
  const auto frameBytes = MakePackedBitmap(64, 48, 0).size();
  const auto recordUntilTheDiskIsFull = [&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = 16384 + 4 * (frameBytes + 64);
    const rlimit fileSize{limit, limit};
    setrlimit(RLIMIT_FSIZE, &fileSize);
    CAviWriter writer(path, -1, -1, Choose(kMovieFullFrames));
    int written = 0;
    for (int i = 0; i < 50; ++i) {
      const auto frame = MakePackedBitmap(64, 48, i);
      writer.SetPosition(i);
      if (!writer.AddFrame(frame.data(), 64, 48)) break;
      ++written;
    }
    const bool failedOnWrite = writer.LastError() == AviError::kWriteFailed && !writer.IsOk();
    writer.Close();
    std::_Exit(failedOnWrite ? 100 + written : 1);
  };
  int written = 0;
  const auto failedOnAWrite = [&written](int status) {
    written = WIFEXITED(status) ? WEXITSTATUS(status) - 100 : -1;
    return written >= 2 && written < 10;
  };
  EXPECT_EXIT(recordUntilTheDiskIsFull(), failedOnAWrite, "");
  // With no room left for the index the reader scans the file: every frame
  // before the failing one is there.
  const auto movie = ReadMovie(path);
  ASSERT_TRUE(movie.opened);
  ASSERT_GE(movie.pictures.size(), static_cast<std::size_t>(written));
  for (std::size_t i = 0; i < static_cast<std::size_t>(written); ++i) {
    EXPECT_EQ(movie.pictures[i], TopDownPixels(MakePackedBitmap(64, 48, static_cast<int>(i)))) << i;
  }
}

TEST_F(MovieWriterTest, AnUnknownCompressorFailsTheFirstFrame) {
  const std::string path = PathOf("unknown.avi");
  {
    CAviWriter writer(path, -1, -1, Choose("no-such-codec"));
    const auto frame = MakePackedBitmap(64, 48, 0);
    EXPECT_FALSE(writer.AddFrame(frame.data(), 64, 48));
    EXPECT_EQ(writer.LastError(), AviError::kNoCompressor);
  }
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(path));
}

TEST_F(MovieWriterTest, EveryOfferedCompressorMakesAPlayableMovie) {
  for (const MovieCodecChoice& choice : AvailableMovieCodecs()) {
    SCOPED_TRACE(choice.id);
    const std::string path = PathOf(choice.id + ".avi");
    Record(path, choice.id, {0, 1, 3, 4}, 96, 64);
    const auto movie = ReadMovie(path);
    ASSERT_TRUE(movie.opened);
    EXPECT_EQ(movie.width, 96);
    EXPECT_EQ(movie.height, 64);
    EXPECT_EQ(movie.decodeErrors, 0);
    ASSERT_EQ(movie.packets.size(), 4u);
    EXPECT_EQ(movie.packets[2].pts, 3);
    EXPECT_TRUE(movie.packets[0].key);
    ASSERT_EQ(movie.pictures.size(), 4u);
    const auto original = TopDownPixels(MakePackedBitmap(96, 64, 2));  // the third frame recorded
    const double psnr = test_support::PeakSignalToNoise(movie.pictures[2], original);
    if (choice.hasQuality) {
      EXPECT_GT(psnr, 28.0);
    } else {
      EXPECT_EQ(movie.pictures[2], original);  // lossless
    }
    EXPECT_TRUE(movie_test::ProbeWithoutErrors(path));
  }
}

TEST(MoviePosition, OnePositionPer66MillisecondsOfWallClock) {
  EXPECT_EQ(MoviePositionAt(1000, 1000), 0);
  EXPECT_EQ(MoviePositionAt(1065, 1000), 0);
  EXPECT_EQ(MoviePositionAt(1066, 1000), 1);
  // 10 s of recording after 2 s in the options dialog.
  EXPECT_EQ(MoviePositionAt(12000, 0), 181);
  // A tick 200 ms after the one before advances 3 or 4 positions.
  for (std::uint32_t previous = 5000; previous < 5066; ++previous) {
    const int step = MoviePositionAt(previous + 200, 1000) - MoviePositionAt(previous, 1000);
    EXPECT_TRUE(step == 3 || step == 4) << previous;
  }
  // The millisecond timer wraps after 49.7 days; the difference does not.
  EXPECT_EQ(MoviePositionAt(0x00000040u, 0xFFFFFFC0u), 1);
}

TEST(MovieBitmapInfo, ReadsSizeRowOrderAndPadding) {
  auto frame = MakePackedBitmap(101, 7, 0);
  auto info = ReadPackedBitmapInfo(frame.data());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->width, 101);
  EXPECT_EQ(info->height, 7);
  EXPECT_TRUE(info->bottomUp);
  EXPECT_EQ(info->stride, 304);
  EXPECT_EQ(info->imageBytes, 304u * 7u);
  EXPECT_EQ(info->PixelOffset(), 40u);

  const std::int32_t topDown = -7;
  std::memcpy(&frame[8], &topDown, 4);
  info = ReadPackedBitmapInfo(frame.data());
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->bottomUp);
  EXPECT_EQ(info->height, 7);

  const std::uint32_t zeroSize = 0;  // allowed for uncompressed bitmaps
  std::memcpy(&frame[20], &zeroSize, 4);
  EXPECT_TRUE(ReadPackedBitmapInfo(frame.data()));

  const std::int32_t noWidth = 0;
  std::memcpy(&frame[4], &noWidth, 4);
  EXPECT_FALSE(ReadPackedBitmapInfo(frame.data()));
}

}  // namespace
