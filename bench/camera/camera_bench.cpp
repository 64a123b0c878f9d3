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

// Median time of one call, in microseconds, over `rounds` rounds.
double MedianMicros(const std::function<void()>& work, int rounds) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::nth_element(times.begin(), times.begin() + rounds / 2, times.end());
  return times[rounds / 2];
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

int main() {
  const camera::FrameLayout* xga = camera::FindFrameLayout(2);
  const camera::FrameShape shape{xga->width, xga->height, xga->chunkCount};

  std::array<std::unique_ptr<std::uint8_t[]>, 4> pipeBuffers;
  camera::PipeViews pipes;
  for (std::size_t p = 0; p < 4; ++p) {
    pipeBuffers[p] = std::make_unique<std::uint8_t[]>(CUsbCamera::kPipeBufferBytes);
    for (std::size_t i = 0; i < CUsbCamera::kPipeBufferBytes; ++i) pipeBuffers[p][i] = static_cast<std::uint8_t>(i * 7 + p);
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

  std::printf("assembly kernels: %s\n", camera::AssemblyKernelsName(camera::BestAssemblyKernels()));
  const double anchor = MedianMicros(memcpyFrame, rounds);
  std::printf("memcpy of %zu bytes (anchor): %.1f us\n", kFrameBytes, anchor);

  double direct0 = 0;
  for (int orientation = 0; orientation < 4; ++orientation) {
    const double direct = MedianMicros(
        [&] {
          camera::AssembleFrameDirect(pipes, shape, orientation, dest);
          KeepAlive(dest.data());
        },
        rounds);
    const double staged = MedianMicros(
        [&] {
          camera::AssembleFrameStaged(pipes, shape, orientation, stageA, stageB, dest);
          KeepAlive(dest.data());
        },
        rounds / 3);
    const double ssse3 = MedianMicros(
        [&] {
          camera::AssembleFrameDirect(pipes, shape, orientation, dest, camera::AssemblyKernels::Ssse3);
          KeepAlive(dest.data());
        },
        rounds);
    if (orientation == 0) direct0 = direct;
    std::printf("orientation %d: direct %.2fx memcpy (SSSE3 only %.2fx), plain (staged) %.2fx memcpy\n", orientation,
                direct / anchor, ssse3 / anchor, staged / anchor);
  }
  // The anchor again, to show how steady it was.
  const double anchorAgain = MedianMicros(memcpyFrame, rounds);
  std::printf("memcpy again: %.2fx the first anchor\n", anchorAgain / anchor);

#if CAMERA_BENCH_WITH_SIM
  {
    sim::SimOptions options;
    options.startMode = 2;
    options.paced = false;
    auto driver = sim::CreateSimulatedDriver(options);
    CUsbCamera link(*driver);
    if (link.Open()) {
      link.m_highSpeed = link.QueryHighSpeed() ? 1 : 0;
      std::vector<std::uint8_t> frame(CUsbCamera::kFrameBytes);
      for (int i = 0; i < 5; ++i) link.QueryMode() && link.GrabFrame(frame.data());
      const int frames = 300;
      int good = 0;
      const double cpu0 = CpuSeconds();
      const auto wall0 = Clock::now();
      for (int i = 0; i < frames; ++i) good += (link.QueryMode() && link.GrabFrame(frame.data())) ? 1 : 0;
      const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
      const double cpu = CpuSeconds() - cpu0;
      std::printf("GrabFrame against the unpaced simulator at 1024x768: %d/%d frames, %.0f frames/s, "
                  "%.2f ms CPU per frame (simulator's rendering included), %.2fx memcpy wall time per frame\n",
                  good, frames, good / wall, 1000.0 * cpu / frames, (wall / frames * 1e6) / anchor);
      link.Close();
    } else {
      std::printf("GrabFrame: the simulated camera could not be opened\n");
    }
  }
#endif

  std::printf("assembly ratio vs memcpy at 1024x768: %.2f\n", direct0 / anchor);
  return 0;
}
