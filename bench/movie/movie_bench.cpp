// One movie tick at 1024 x 768 (copy the frame bitmap, compress, write) for
// every compressor this machine offers, against a plain copy of the same
// frame timed in this run; and the file size per second of movie.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/support/test_pages.h"
#include "liveview/frame_bitmap.h"
#include "output/avi_writer.h"
#include "output/movie_codecs.h"
#include "sim/picture_renderer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kPictures = 8;  // distinct camera pictures, cycled
constexpr int kTicks = 60;    // 4 s of movie

void KeepAlive(void* p) { asm volatile("" : : "g"(p) : "memory"); }

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
  return values[values.size() / 2];
}

struct Result {
  std::string label;
  double tickMs = 0;
  double megabytesPerSecond = 0;
  bool ok = false;
};

}  // namespace

int main() {
  const std::vector<sim::Picture> pictures = bench::RenderTestPages(kPictures, "movie_bench");
  if (pictures.empty()) return 1;
  CFrameBitmap bitmap;
  bitmap.Create(kWidth, kHeight, 24);
  auto showPicture = [&](int i) {
    const auto& picture = pictures[static_cast<std::size_t>(i % kPictures)];
    const auto lock = bitmap.LockBuffers();
    std::memcpy(bitmap.Pixels(), picture.bgr.data(), picture.bgr.size());
    bitmap.SyncToPackedBitmap();
  };

  // Anchor: one plain copy of the packed frame.
  std::vector<std::uint8_t> copy(bitmap.PackedBitmapBytes());
  std::vector<double> copyTimes;
  for (int i = 0; i < 200; ++i) {
    const auto start = Clock::now();
    std::memcpy(copy.data(), bitmap.PackedBitmap(), copy.size());
    KeepAlive(copy.data());
    copyTimes.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  const double anchorMs = Median(copyTimes);

  const auto folder = std::filesystem::temp_directory_path() / ("movie-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::vector<Result> results;
  for (const MovieCodecChoice& choice : AvailableMovieCodecs()) {
    Result result;
    result.label = choice.label;
    const std::string path = (folder / (choice.id + ".avi")).string();
    {
      CAviWriter writer(path, -1, -1, [&] { return std::optional<MovieCompression>(MovieCompression{choice.id, 75}); });
      std::vector<double> times;
      result.ok = true;
      for (int tick = 0; tick < kTicks && result.ok; ++tick) {
        showPicture(tick);
        writer.SetPosition(tick);
        const auto start = Clock::now();
        result.ok = writer.AddFrame(bitmap);
        // The first tick also sets up the file and the compressor.
        if (tick > 0) times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      }
      if (result.ok) result.tickMs = Median(times);
    }
    const double seconds = kTicks / 15.0;
    result.megabytesPerSecond = static_cast<double>(std::filesystem::file_size(path)) / 1e6 / seconds;
    results.push_back(result);
  }
  std::filesystem::remove_all(folder);

  std::printf("copy of one 1024x768 packed frame (anchor): %.3f ms\n", anchorMs);
  std::printf("%-28s %10s %12s %14s\n", "compressor", "tick ms", "x anchor", "MB per second");
  double builtinMs = -1;
  for (const Result& result : results) {
    if (!result.ok) {
      std::printf("%-28s %10s\n", result.label.c_str(), "failed");
      continue;
    }
    std::printf("%-28s %10.2f %12.1f %14.2f\n", result.label.c_str(), result.tickMs, result.tickMs / anchorMs,
                result.megabytesPerSecond);
    if (result.label == "Motion JPEG") builtinMs = result.tickMs;
  }
  std::printf("tick ms at 1024x768 (built-in Motion JPEG): %.2f\n", builtinMs);
  return builtinMs < 0 ? 1 : 0;
}
