// The broadcast push's costs at 1024 x 768: one H.264 frame on one core
// (libx264 with one thread, the push's settings) beside one tick of our own
// Motion JPEG movie path measured in the same run; and the view's frame rate
// on the paced simulated camera with a push into a local .mkv file beside
// the rate without one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "app/main_frame.h"
#include "bench/support/bench_program.h"
#include "bench/support/clocks.h"
#include "bench/support/scratch_profile.h"
#include "bench/support/test_pages.h"
#include "broadcast/broadcast_push.h"
#include "broadcast/h264_encoder.h"
#include "liveview/frame_bitmap.h"
#include "output/avi_writer.h"
#include "output/movie_codecs.h"
#include "sim/picture_renderer.h"
#include "sim/sim_driver.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kPictures = 8;  // distinct camera pictures, cycled
constexpr int kFrames = 90;   // 6 s at the camera's 15 frames a second
constexpr double kTargetH264Ms = 10.0;
constexpr double kTargetRateShare = 0.95;

using bench::ClockMs;

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2), values.end());
  return values[values.size() / 2];
}

struct FrameCost {
  double cpuMs = -1;   // the process's processor time per frame, every thread counted (median)
  double wallMs = -1;  // elapsed time per frame (median)
};

// Times `work(i)` for each frame but the first, which also sets things up.
template <typename Work>
FrameCost TimeFrames(Work&& work) {
  std::vector<double> cpu, wall;
  for (int i = 0; i < kFrames; ++i) {
    const double cpuStart = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    const double wallStart = ClockMs(CLOCK_MONOTONIC);
    if (!work(i)) return {};
    if (i == 0) continue;
    cpu.push_back(ClockMs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart);
    wall.push_back(ClockMs(CLOCK_MONOTONIC) - wallStart);
  }
  return {Median(cpu), Median(wall)};
}

struct RateResult {
  double fps = 0;
  std::uint64_t framesSent = 0;
  bool pushLive = false;
};

// The whole program against the paced camera at 1024 x 768, with a push into
// `pushFile` when it is not empty.
RateResult ProgramRate(int seconds, const std::string& pushFile) {
  bench::CBenchProgram program(2);
  if (!program.Started()) return {};
  CMainFrame& frame = program.Frame();
  if (!pushFile.empty()) {
    PushSettings settings;
    settings.url = pushFile;
    std::string error;
    if (!frame.Outputs().StartBroadcast(settings, error)) std::fprintf(stderr, "push: %s\n", error.c_str());
  }
  QTest::qWait(1000);  // the first frames, the window's resize, the encoder's start
  const std::uint64_t sent = frame.BroadcastState().Snapshot().framesSent;
  RateResult result;
  result.fps = program.Measure(seconds).fps;
  const PushStatus status = frame.BroadcastState().Snapshot();
  result.framesSent = status.framesSent - sent;
  result.pushLive = status.phase == PushPhase::Live;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::CScratchProfile profile;
  QApplication application(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;

  const std::vector<sim::Picture> pictures = bench::RenderTestPages(kPictures, "broadcast_bench");
  if (pictures.empty()) return 1;
  const auto picture = [&](int i) -> const sim::Picture& { return pictures[static_cast<std::size_t>(i % kPictures)]; };

  // Anchor: one tick of the movie path with our own Motion JPEG encoder.
  CFrameBitmap bitmap;
  bitmap.Create(kWidth, kHeight, 24);
  FrameCost mjpeg;
  {
    CAviWriter writer(profile.FilePath("anchor.avi").toStdString(), -1, -1, [] {
      return std::optional<MovieCompression>(MovieCompression{kMovieBuiltinMjpeg, 75});
    });
    mjpeg = TimeFrames([&](int i) {
      {
        const auto lock = bitmap.LockBuffers();
        std::memcpy(bitmap.Pixels(), picture(i).bgr.data(), picture(i).bgr.size());
        bitmap.SyncToPackedBitmap();
      }
      writer.SetPosition(i);
      return writer.AddFrame(bitmap);
    });
  }

  // The push's encoder as it runs: one thread, its own settings.
  PushSettings push;
  H264Settings h264;
  h264.width = kWidth;
  h264.height = kHeight;
  h264.bitrateKbit = push.bitrateKbit;
  h264.nominalFps = push.nominalFps;
  h264.keyIntervalMs = push.keyIntervalMs;
  h264.globalHeader = true;
  h264.threads = 1;
  CH264Encoder encoder;
  if (const std::string refused = encoder.Open(h264); !refused.empty()) {
    std::fprintf(stderr, "broadcast_bench: %s\n", refused.c_str());
    return 1;
  }
  std::size_t bytes = 0;
  int keys = 0;
  const CH264Encoder::PacketSink sink = [&](AVPacket& packet) {
    bytes += static_cast<std::size_t>(packet.size);
    keys += (packet.flags & AV_PKT_FLAG_KEY) != 0;
    return true;
  };
  std::string error;
  const FrameCost h264Cost = TimeFrames([&](int i) {
    return encoder.Encode(picture(i).bgr, kWidth * 3, static_cast<std::int64_t>(i) * 1000 / push.nominalFps, sink,
                          error);
  });
  encoder.Flush(sink, error);
  if (h264Cost.cpuMs < 0 || mjpeg.cpuMs < 0) {
    std::fprintf(stderr, "broadcast_bench: an encoder failed: %s\n", error.c_str());
    return 1;
  }

  std::printf("Motion JPEG movie tick at 1024x768, our encoder (anchor): %.2f ms processor, %.2f ms elapsed\n",
              mjpeg.cpuMs, mjpeg.wallMs);
  std::printf(
      "H.264 frame at 1024x768, libx264 one thread: %.2f ms processor (%.2f x anchor), %.2f ms elapsed "
      "(%.2f x anchor); %d key frames in %d frames, %.0f kbit/s\n",
      h264Cost.cpuMs, h264Cost.cpuMs / mjpeg.cpuMs, h264Cost.wallMs, h264Cost.wallMs / mjpeg.wallMs, keys, kFrames,
      static_cast<double>(bytes) * 8 / 1000 / (kFrames / static_cast<double>(push.nominalFps)));

  // Without and with a push, twice each in turn, so that a slow moment of
  // the machine does not fall on one side only.
  const int seconds = quick ? 2 : 4;
  double without = 0, with = 0;
  std::uint64_t sent = 0;
  bool live = true;
  for (int round = 0; round < 2; ++round) {
    without += ProgramRate(seconds, {}).fps / 2;
    const RateResult pushing = ProgramRate(seconds, profile.FilePath("push.mkv").toStdString());
    with += pushing.fps / 2;
    sent += pushing.framesSent;
    live = live && pushing.pushLive;
  }
  std::printf(
      "paced camera at 1024x768: view %.1f fps without a push, %.1f fps pushing to a .mkv file (%s, %.1f "
      "frames a second sent)\n",
      without, with, live ? "live" : "NOT live", static_cast<double>(sent) / (2.0 * seconds));
  std::printf(
      "summary: H.264 %.2f ms a frame (%.2f x Motion JPEG tick; target %.0f ms %s), view rate pushing / "
      "not pushing %.3f (target %.2f %s)\n",
      h264Cost.cpuMs, h264Cost.cpuMs / mjpeg.cpuMs, kTargetH264Ms, h264Cost.cpuMs <= kTargetH264Ms ? "met" : "MISSED",
      with / without, kTargetRateShare, with / without >= kTargetRateShare ? "met" : "MISSED");
  return 0;
}
