// Live-view costs on the host, each beside a memcpy of one 1024 x 768 frame
// measured in the same run, and the frame rates the paced simulated camera
// reaches through the whole program.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "bench/support/bench_program.h"
#include "bench/support/clocks.h"
#include "bench/support/scratch_profile.h"
#include "bench/support/vector_sets.h"
#include "camera/usb_camera.h"
#include "liveview/aligned_bytes.h"
#include "liveview/frame_bitmap.h"
#include "liveview/frame_rotation.h"
#include "liveview/live_view.h"
#include "liveview/picture_fit.h"
#include "platform/driver.h"
#include "sim/sim_driver.h"

namespace {

using bench::ClockMs;

struct Cost {
  double cpuMs = 1e9;   // this thread's processor time per call
  double wallMs = 1e9;  // elapsed time per call (includes time lost to other processes)
};

// Best of several rounds, each of `calls` calls. Work Qt may spread over
// its thread pool (smooth scaling) is measured with the process's clock.
Cost Measure(const std::function<void()>& work, int calls, clockid_t clock = CLOCK_THREAD_CPUTIME_ID, int rounds = 5) {
  Cost best;
  for (int round = 0; round < rounds; ++round) {
    QElapsedTimer wall;
    wall.start();
    const double start = ClockMs(clock);
    for (int i = 0; i < calls; ++i) work();
    best.cpuMs = std::min(best.cpuMs, (ClockMs(clock) - start) / calls);
    best.wallMs = std::min(best.wallMs, static_cast<double>(wall.nsecsElapsed()) / 1e6 / calls);
  }
  return best;
}

// Best of each over alternating rounds, so that a slow moment of the shared
// machine falls on both sides of a ratio, not on one. Many short rounds give
// both sides the same chances of a quiet moment.
std::pair<Cost, Cost> MeasureSideBySide(const std::function<void()>& anchor, const std::function<void()>& work,
                                        int calls, int rounds = 60) {
  Cost bestAnchor, bestWork;
  for (int round = 0; round < rounds; ++round) {
    const Cost a = Measure(anchor, calls, CLOCK_THREAD_CPUTIME_ID, 1);
    const Cost w = Measure(work, calls, CLOCK_THREAD_CPUTIME_ID, 1);
    bestAnchor = {std::min(bestAnchor.cpuMs, a.cpuMs), std::min(bestAnchor.wallMs, a.wallMs)};
    bestWork = {std::min(bestWork.cpuMs, w.cpuMs), std::min(bestWork.wallMs, w.wallMs)};
  }
  return {bestAnchor, bestWork};
}

void Report(const char* what, Cost cost, Cost anchor) {
  std::printf("%s: %.3f ms processor (%.2f x memcpy), %.3f ms elapsed (%.2f x memcpy)\n", what, cost.cpuMs,
              cost.cpuMs / anchor.cpuMs, cost.wallMs, cost.wallMs / anchor.wallMs);
}

struct RateResult {
  double fps = 0;
  double cpuShare = 0;  // of one core
};

// The whole program against the paced camera in one picture mode.
RateResult ProgramRate(int mode, int seconds) {
  bench::CBenchProgram program(mode);
  if (!program.Started()) return {};
  QTest::qWait(700);  // the first frames and the window's resize
  const bench::ProgramInterval interval = program.Measure(seconds);
  return {interval.fps, interval.cpuShare};
}

// The camera link and the simulator alone, fetching frames as fast as the
// paced camera sends them: what the program's CPU share is made of besides
// the live view's own work.
RateResult LinkOnlyRate(int mode, int seconds) {
  sim::SimOptions options;
  options.paced = true;
  options.startMode = mode;
  const std::shared_ptr<platform::IDriver> driver = sim::CreateSimulatedDriver(options);
  RateResult result;
  {
    CUsbCamera camera(*driver);
    if (!camera.Open()) return result;
    camera.SetHighSpeed(camera.QueryHighSpeed());
    std::vector<std::uint8_t> frame(CFrameBitmap::kPixelCapacity);
    const double cpu = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer wall;
    wall.start();
    int frames = 0;
    while (wall.elapsed() < seconds * 1000)
      if (camera.QueryMode() && camera.GrabFrame(frame.data())) ++frames;
    const double elapsedMs = static_cast<double>(wall.elapsed());
    result.fps = frames * 1000.0 / elapsedMs;
    result.cpuShare = (ClockMs(CLOCK_PROCESS_CPUTIME_ID) - cpu) / elapsedMs;
    camera.Close();
  }
  return result;
}

}  // namespace

// A quarter turn of a 1024 x 768 frame beside its memcpy, round for round,
// with the kernels the program's processor choice gives this process.
double TurnRatio() {
  std::vector<std::uint8_t> from(CFrameBitmap::kPixelCapacity);
  for (std::size_t i = 0; i < from.size(); ++i) from[i] = static_cast<std::uint8_t>(i * 31);
  const AlignedBytes to = MakeAlignedBytes(CFrameBitmap::kPixelCapacity);
  const auto [copy, turn] = MeasureSideBySide(
      [&] {
        std::memcpy(to.get(), from.data(), from.size());
        from[to[12345] & 0xFF] ^= 1;
      },
      [&] {
        TurnPixels({from.data(), 1024 * 3, 1024, 768}, 1, to.get(), 768 * 3);
        from[to[54321] & 0xFF] ^= 1;
      },
      20);
  return turn.cpuMs / copy.cpuMs;
}

int main(int argc, char** argv) {
  // A child run under one VECTORSET cap prints only its kernels and its ratio.
  if (argc == 2 && std::strcmp(argv[1], "--one-set") == 0) {
    const double ratio = TurnRatio();
    std::printf("%s %.2f\n", TurnKernelsName(), ratio);
    return 0;
  }
  const bench::CScratchProfile profile;
  QApplication application(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;

  // Anchor: one plain copy of a whole 1024 x 768 frame.
  // The destination starts on a cache line, as the live-view thread's turned
  // copy and the frame bitmap do.
  std::vector<std::uint8_t> from(CFrameBitmap::kPixelCapacity, 0x5A);
  const AlignedBytes to = MakeAlignedBytes(CFrameBitmap::kPixelCapacity);
  const auto copyFrame = [&] {
    std::memcpy(to.get(), from.data(), from.size());
    from[to[12345] & 0xFF] ^= 1;  // keeps the copy from being optimised away
  };
  const Cost copy = Measure(copyFrame, 50);

  CLiveView view;
  view.resize(1024, 768);
  view.show();
  if (!QTest::qWaitForWindowExposed(&view)) std::fputs("the view was never exposed\n", stderr);
  CFrameBitmap& bitmap = view.Bitmap();
  bitmap.Create(1024, 768, 24);
  for (std::size_t i = 0; i < CFrameBitmap::kPixelCapacity; ++i) bitmap.Pixels()[i] = static_cast<std::uint8_t>(i * 31);

  const Cost sync = Measure(
      [&] {
        auto lock = bitmap.LockBuffers();
        bitmap.SyncToPackedBitmap();
      },
      50);
  QImage surface(1024, 768, QImage::Format_ARGB32_Premultiplied);
  const Cost draw = Measure(
      [&] {
        QPainter painter(&surface);
        auto lock = bitmap.LockBuffers();
        bitmap.Draw(painter);
      },
      30);
  // A quarter turn of the frame, as the taps and every turned output get it,
  // and the turned paint (turn and widen in one pass) beside the plain one.
  // The turn beside its own memcpy, round for round.
  const auto [copyBesideTurn, turn] = MeasureSideBySide(
      copyFrame,
      [&] {
        TurnPixels({bitmap.Pixels(), 1024 * 3, 1024, 768}, 1, to.get(), 768 * 3);
        from[to[54321] & 0xFF] ^= 1;
      },
      20);
  const Cost turnedDraw = Measure(
      [&] {
        QPainter painter(&surface);
        auto lock = bitmap.LockBuffers();
        bitmap.DrawTurned(painter, 1);
      },
      30);
  // The view's own repaint into the offscreen platform's backing store.
  const Cost repaint = Measure([&] { view.repaint(); }, 30);
  const Cost host{sync.cpuMs + repaint.cpuMs, sync.wallMs + repaint.wallMs};
  // The same picture scaled (smooth, aspect kept, bars) into a full-HD
  // window the user has sized, beside the one-to-one paint just measured:
  // first the painter alone, then the whole view repaint.
  QImage fullHd(1920, 1080, QImage::Format_ARGB32_Premultiplied);
  const QRect fitted = FitPicture(QSize(1024, 768), fullHd.rect());
  const Cost scaledDraw = Measure(
      [&] {
        QPainter painter(&fullHd);
        auto lock = bitmap.LockBuffers();
        bitmap.DrawScaled(painter, fitted);
      },
      20, CLOCK_PROCESS_CPUTIME_ID);
  CLiveView scaledView;
  scaledView.resize(1920, 1080);
  scaledView.SetFitToWindow(true);
  scaledView.show();
  if (!QTest::qWaitForWindowExposed(&scaledView)) std::fputs("the scaled view was never exposed\n", stderr);
  scaledView.Bitmap().Create(1024, 768, 24);
  std::memcpy(scaledView.Bitmap().Pixels(), bitmap.Pixels(), CFrameBitmap::kPixelCapacity);
  {
    auto lock = scaledView.Bitmap().LockBuffers();
    scaledView.Bitmap().SyncToPackedBitmap();
  }
  const Cost scaledRepaint = Measure([&] { scaledView.repaint(); }, 20, CLOCK_PROCESS_CPUTIME_ID);
  const Cost plainRepaint = Measure([&] { view.repaint(); }, 20, CLOCK_PROCESS_CPUTIME_ID);

  std::printf("memcpy of a 1024x768 frame (anchor): %.3f ms processor, %.3f ms elapsed\n", copy.cpuMs, copy.wallMs);
  Report("SyncToPackedBitmap", sync, copy);
  Report("Draw into a 1024x768 image", draw, copy);
  Report("view repaint (offscreen backing store)", repaint, copy);
  Report("rotation by 90 degrees of a 1024x768 frame (memcpy measured in alternate rounds)", turn, copyBesideTurn);
  Report("Draw turned by 90 degrees", turnedDraw, copy);
  std::printf("turned Draw / plain Draw: %.2f\n", turnedDraw.cpuMs / draw.cpuMs);
  Report("Draw scaled 1024x768 -> 1920x1080 (1440x1080, smooth, all threads)", scaledDraw, copy);
  Report("view repaint scaled to 1920x1080 (all threads)", scaledRepaint, copy);

  const int seconds = quick ? 1 : 4;
  struct Mode {
    const char* name;
    int code;
  };
  for (const Mode mode : {Mode{"1024x768", 2}, Mode{"640x480", 0}}) {
    const RateResult program = ProgramRate(mode.code, seconds);
    const RateResult link = LinkOnlyRate(mode.code, seconds);
    std::printf(
        "paced camera at %s: program %.1f fps, %.0f %% of one core; camera link and simulator alone %.1f fps, "
        "%.0f %% of one core\n",
        mode.name, program.fps, program.cpuShare * 100, link.fps, link.cpuShare * 100);
  }
  Report("host work per frame (sync + repaint)", host, copy);
  std::printf("host ms per frame at 1024x768: %.3f\n", host.cpuMs);
  std::printf("per set, each run under its VECTORSET cap (kernels, rotation by 90 degrees / memcpy):");
  for (const std::string& set : bench::RunnableVectorSets()) {
    const std::string figure = bench::RunUnderVectorSetCap(set, "--one-set");
    std::printf(" %s: %s;", set.c_str(), figure.empty() ? "failed" : figure.c_str());
  }
  std::printf("\n");
  std::printf("rotation by 90 degrees / memcpy of the frame: %.2f\n", turn.cpuMs / copyBesideTurn.cpuMs);
  std::printf(
      "scaling 1024x768 to 1920x1080: %.3f ms processor (all threads) per frame (view repaint; painter "
      "alone %.3f ms), %.2f x the one-to-one repaint (%.3f ms, same clock)\n",
      scaledRepaint.cpuMs, scaledDraw.cpuMs, scaledRepaint.cpuMs / plainRepaint.cpuMs, plainRepaint.cpuMs);
  return 0;
}
