// Frame assembly against a memcpy of the same frame, both timed in this run,
// and whole frames fetched from the unpaced simulated camera.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "bench/support/vector_sets.h"
#include "camera/frame_assembler.h"
#include "camera/frame_layout.h"
#include "camera/usb_camera.h"
#if CAMERA_BENCH_WITH_SIM
#include "sim/sim_driver.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFrameBytes = 1024 * 768 * 3;

void KeepAlive(void* p) { asm volatile("" : : "g"(p) : "memory"); }

// Time of one call in microseconds over `rounds` rounds: the best round (the
// one least disturbed by other processes) and the median.
struct Timing {
  double best;
  double median;
};

Timing Measure(const std::function<void()>& work, int rounds) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

// The work against the anchor, timed round by round in turn so that both
// see the same load: the median of the rounds' ratios.
double MedianRatio(const std::function<void()>& work, const std::function<void()>& anchor, int rounds) {
  std::vector<double> ratios;
  for (int i = 0; i < rounds; ++i) {
    const auto a0 = Clock::now();
    anchor();
    const auto w0 = Clock::now();
    work();
    const auto w1 = Clock::now();
    ratios.push_back(std::chrono::duration<double>(w1 - w0).count() / std::chrono::duration<double>(w0 - a0).count());
  }
  std::sort(ratios.begin(), ratios.end());
  return ratios[ratios.size() / 2];
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

#if CAMERA_BENCH_WITH_SIM
void BenchWholeFrames(double anchorMicros) {
  sim::SimOptions options;
  options.startMode = 2;
  options.paced = false;
  auto driver = sim::CreateSimulatedDriver(options);
  CUsbCamera link(*driver);
  if (!link.Open()) {
    std::printf("GrabFrame: the simulated camera could not be opened\n");
    return;
  }
  link.SetHighSpeed(link.QueryHighSpeed());
  std::vector<std::uint8_t> frame(CUsbCamera::kFrameBytes);
  for (int i = 0; i < 5; ++i) {
    if (link.QueryMode()) link.GrabFrame(frame.data());
  }
  const int frames = 300;
  int good = 0;
  const double cpu0 = CpuSeconds();
  const auto wall0 = Clock::now();
  for (int i = 0; i < frames; ++i) good += (link.QueryMode() && link.GrabFrame(frame.data())) ? 1 : 0;
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  const double cpu = CpuSeconds() - cpu0;
  std::printf(
      "GrabFrame against the unpaced simulator at 1024x768: %d/%d frames, %.0f frames/s, "
      "%.2f ms CPU per frame (the simulator's own work included), %.1fx memcpy wall time per frame\n",
      good, frames, good / wall, 1000.0 * cpu / frames, (wall / frames * 1e6) / anchorMicros);
  link.Close();
}
#endif

}  // namespace

int main(int argc, char** argv) {
  // A child run under one VECTORSET cap prints only its kernels and its ratio.
  const bool oneSet = argc == 2 && std::strcmp(argv[1], "--one-set") == 0;
  const camera::FrameLayout* xga = camera::FindFrameLayout(2);
  const camera::FrameShape shape{xga->width, xga->height, xga->chunkCount};

  std::array<std::unique_ptr<std::uint8_t[]>, 4> pipeBuffers;
  camera::PipeViews pipes;
  for (std::size_t p = 0; p < 4; ++p) {
    pipeBuffers[p] = std::make_unique<std::uint8_t[]>(CUsbCamera::kPipeBufferBytes);
    for (std::size_t i = 0; i < CUsbCamera::kPipeBufferBytes; ++i)
      pipeBuffers[p][i] = static_cast<std::uint8_t>(i * 7 + p);
    pipes[p] = {pipeBuffers[p].get(), CUsbCamera::kPipeBufferBytes};
  }
  std::vector<std::uint8_t> source(kFrameBytes, 0x5A), dest(kFrameBytes, 0), stageA(kFrameBytes), stageB(kFrameBytes);

  const int rounds = 150;
  auto memcpyFrame = [&] {
    std::memcpy(dest.data(), source.data(), kFrameBytes);
    KeepAlive(dest.data());
  };
  // Warm caches, pages and clocks before measuring.
  for (int i = 0; i < 20; ++i) {
    memcpyFrame();
    camera::AssembleFrameDirect(pipes, shape, 0, dest);
  }

  if (oneSet) {
    const double ratio = MedianRatio(
        [&] {
          camera::AssembleFrameDirect(pipes, shape, 0, dest);
          KeepAlive(dest.data());
        },
        memcpyFrame, rounds);
    std::printf("%s %.2f\n", camera::AssemblyKernelsName(camera::BestAssemblyKernels()), ratio);
    return 0;
  }
  std::printf("assembly kernels: %s\n", camera::AssemblyKernelsName(camera::BestAssemblyKernels()));
  const Timing anchor = Measure(memcpyFrame, rounds);
  std::printf("memcpy of %zu bytes (anchor): best %.1f us, median %.1f us\n", kFrameBytes, anchor.best, anchor.median);
  std::printf("ratios to the anchor: best round to best round (median of paired rounds)\n");

  double direct0 = 0;
  for (int orientation = 0; orientation < 4; ++orientation) {
    auto timeKernels = [&](camera::AssemblyKernels kernels, int n) {
      return Measure(
          [&] {
            camera::AssembleFrameDirect(pipes, shape, orientation, dest, kernels);
            KeepAlive(dest.data());
          },
          n);
    };
    const Timing direct = timeKernels(camera::BestAssemblyKernels(), rounds);
    const double directPaired = MedianRatio(
        [&] {
          camera::AssembleFrameDirect(pipes, shape, orientation, dest);
          KeepAlive(dest.data());
        },
        memcpyFrame, rounds);
    const Timing ssse3 = timeKernels(camera::AssemblyKernels::Ssse3, rounds);
    const Timing plain = timeKernels(camera::AssemblyKernels::Plain, rounds / 3);
    const Timing staged = Measure(
        [&] {
          camera::AssembleFrameStaged(pipes, shape, orientation, stageA, stageB, dest);
          KeepAlive(dest.data());
        },
        rounds / 3);
    if (orientation == 0) direct0 = directPaired;
    std::printf(
        "orientation %d: direct %.2fx (%.2fx), SSSE3 only %.2fx (%.2fx), plain loops %.2fx (%.2fx), "
        "staged %.2fx (%.2fx)\n",
        orientation, direct.best / anchor.best, directPaired, ssse3.best / anchor.best, ssse3.median / anchor.median,
        plain.best / anchor.best, plain.median / anchor.median, staged.best / anchor.best,
        staged.median / anchor.median);
  }
  // The anchor again, to show how steady it was.
  const Timing anchorAgain = Measure(memcpyFrame, rounds);
  std::printf("memcpy again: %.2fx the first anchor (best), %.2fx (median)\n", anchorAgain.best / anchor.best,
              anchorAgain.median / anchor.median);

#if CAMERA_BENCH_WITH_SIM
  BenchWholeFrames(anchor.median);
#endif

  // Each set the machine has, in a run of its own under its cap (median of
  // paired rounds against that run's memcpy).
  std::printf("per set, each run under its VECTORSET cap (kernels, direct assembly / memcpy):");
  for (const std::string& set : bench::RunnableVectorSets()) {
    const std::string figure = bench::RunUnderVectorSetCap(set, "--one-set");
    std::printf(" %s: %s;", set.c_str(), figure.empty() ? "failed" : figure.c_str());
  }
  std::printf("\n");
  std::printf("assembly ratio vs memcpy at 1024x768: %.2f\n", direct0);
  return 0;
}
