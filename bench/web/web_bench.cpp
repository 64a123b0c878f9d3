// The web server's costs, each against a baseline of the same run: processor
// time per camera frame with 1, 8 and 32 viewers (against 1 viewer), the time
// from a frame's arrival to its last byte at a loopback viewer (against one
// encode of the frame alone), and the main window's frame rate on the paced
// simulated camera with 32 viewers, one of them stalled (against none).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/camera_server_link.h"
#include "app/main_frame.h"
#include "bench/support/bench_program.h"
#include "bench/support/clocks.h"
#include "bench/support/scratch_profile.h"
#include "liveview/frame_taps.h"
#include "server/camera_server.h"
#include "server/frame_hub.h"
#include "server/http_server.h"
#include "server/request_router.h"
#include "sim/sim_driver.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ProcessCpuMs() { return bench::ClockMs(CLOCK_PROCESS_CPUTIME_ID); }
double ThreadCpuMs() { return bench::ClockMs(CLOCK_THREAD_CPUTIME_ID); }

// Serves the stream only; the bench needs no panel.
class StreamOnlyBackend final : public server::IRouterBackend {
 public:
  std::optional<std::string> StateJson() override { return std::string("{}"); }
  std::string LayoutJson() override { return "{}"; }
  server::ControlOutcome RunControlEvent(server::ControlEvent, int, std::uintptr_t) override { return {}; }
  std::optional<std::string> SnapshotJpeg() override { return std::nullopt; }
  std::optional<std::string> SnapshotBmp() override { return std::nullopt; }
  std::optional<Asset> FindAsset(std::string_view) override { return std::nullopt; }
};

int Connect(std::uint16_t port, bool smallBuffer) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (smallBuffer) {
    const int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  const std::string request = "GET /stream.mjpg HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  return fd;
}

// A viewer that reads as fast as it can and notes when each part ended.
class Reader {
 public:
  explicit Reader(std::uint16_t port) : m_fd(Connect(port, false)) {
    m_thread = std::thread([this] { Run(); });
  }
  ~Reader() {
    m_stop = true;
    m_thread.join();
    if (m_fd >= 0) close(m_fd);
  }
  double CpuMs() const { return m_cpuMs.load(); }
  std::vector<Clock::time_point> PartEnds() {
    std::lock_guard guard(m_lock);
    return m_partEnds;
  }

 private:
  void Run() {
    const double start = ThreadCpuMs();
    std::vector<char> buffer(256 * 1024);
    std::string tail;
    while (!m_stop && m_fd >= 0) {
      pollfd p{m_fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = recv(m_fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      // A part ends with "\r\n" right before the next boundary; the JPEG's
      // own end marker FF D9 followed by CR LF marks it well enough here.
      tail.append(buffer.data(), static_cast<std::size_t>(n));
      for (std::size_t at; (at = tail.find("\xFF\xD9\r\n")) != std::string::npos;) {
        std::lock_guard guard(m_lock);
        m_partEnds.push_back(Clock::now());
        tail.erase(0, at + 4);
      }
      if (tail.size() > 8) tail.erase(0, tail.size() - 8);
      m_cpuMs.store(ThreadCpuMs() - start);
    }
  }

  int m_fd;
  std::atomic<bool> m_stop{false};
  std::atomic<double> m_cpuMs{0};
  std::mutex m_lock;
  std::vector<Clock::time_point> m_partEnds;
  std::thread m_thread;
};

// A 1024 x 768 test picture that changes a little from frame to frame.
struct Feeder {
  std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(1024 * 768 * 3);
  std::atomic<std::int64_t> lastCapturedNs{0};

  void Publish(CFrameTaps& taps, int n) {
    for (std::size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = static_cast<std::uint8_t>((i / 3 % 1024) + (i / 3072) + n * 5);
    const auto now = Clock::now();
    lastCapturedNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count());
    taps.Publish({.width = 1024, .height = 768, .rowBytes = 3072, .pixels = pixels, .captured = now});
  }
};

struct StreamCost {
  double serverCpuMsPerFrame = 0;
  double medianLatencyMs = 0;
};

StreamCost MeasureStream(int viewers, int frames) {
  CFrameTaps taps;
  server::CFrameHub hub;
  StreamOnlyBackend backend;
  server::CHttpServer http(backend, {}, hub);
  hub.Start();
  taps.Add(hub);
  if (!http.Start("127.0.0.1", 0).empty()) return {};
  std::vector<std::unique_ptr<Reader>> readers;
  for (int i = 0; i < viewers; ++i) readers.push_back(std::make_unique<Reader>(http.Port()));
  while (http.StreamCount() < static_cast<unsigned>(viewers)) std::this_thread::sleep_for(5ms);

  Feeder feeder;
  // Latency: the frame's arrival against the moment its last byte reached
  // the first viewer; frames are 100 ms apart, so each part is the latest frame.
  std::vector<double> latencies;
  const double cpuStart = ProcessCpuMs();
  std::vector<double> readerStart;
  for (auto& r : readers) readerStart.push_back(r->CpuMs());
  for (int n = 1; n <= frames; ++n) {
    const std::size_t before = readers[0]->PartEnds().size();
    feeder.Publish(taps, n);
    const Clock::time_point captured{std::chrono::nanoseconds(feeder.lastCapturedNs.load())};
    const auto deadline = Clock::now() + 100ms;
    while (Clock::now() < deadline) {
      const auto ends = readers[0]->PartEnds();
      if (ends.size() > before) {
        latencies.push_back(std::chrono::duration<double, std::milli>(ends[before] - captured).count());
        break;
      }
      std::this_thread::sleep_for(200us);
    }
    std::this_thread::sleep_until(deadline);
  }
  std::this_thread::sleep_for(200ms);
  double readersCpu = 0;
  for (std::size_t i = 0; i < readers.size(); ++i) readersCpu += readers[i]->CpuMs() - readerStart[i];
  const double serverCpu = ProcessCpuMs() - cpuStart - readersCpu;
  taps.Remove(hub);
  http.Stop();
  readers.clear();
  std::sort(latencies.begin(), latencies.end());
  StreamCost cost;
  cost.serverCpuMsPerFrame = serverCpu / frames;
  cost.medianLatencyMs = latencies.empty() ? -1 : latencies[latencies.size() / 2];
  return cost;
}

double EncodeOnceMs() {
  Feeder feeder;
  server::CStillJpegEncoder encoder;
  std::vector<std::uint8_t> out;
  double best = 1e9;
  for (int i = 0; i < 20; ++i) {
    const auto start = Clock::now();
    encoder.Encode({1024, 768, 3072, feeder.pixels}, out);
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

// Frames the main window shows on the paced camera, alone or beside 31
// reading viewers and one that never reads.
double ViewFps(bool withViewers) {
  bench::CBenchProgram program(-1);
  if (!program.Started()) return 0;
  CCameraServerLink link(program.Frame());
  server::CameraServerOptions serverOptions;
  serverOptions.address.port = 0;
  server::CCameraServer webServer(link, serverOptions);
  if (!webServer.Start().empty()) return 0;
  std::vector<std::unique_ptr<Reader>> readers;
  int stalled = -1;
  if (withViewers) {
    for (int i = 0; i < 31; ++i) readers.push_back(std::make_unique<Reader>(webServer.Port()));
    stalled = Connect(webServer.Port(), true);
  }
  QTest::qWait(1500);  // settle
  const double fps = program.Measure(5).fps;
  readers.clear();
  if (stalled >= 0) close(stalled);
  webServer.Stop();
  return fps;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::CScratchProfile profile;
  QApplication application(argc, argv);

  const int frames = 60;
  const StreamCost one = MeasureStream(1, frames);
  const StreamCost eight = MeasureStream(8, frames);
  const StreamCost all = MeasureStream(32, frames);
  std::printf(
      "processor per 1024x768 frame: 1 viewer %.2f ms, 8 viewers %.2f ms (%.2f x), 32 viewers %.2f ms (%.2f x)\n",
      one.serverCpuMsPerFrame, eight.serverCpuMsPerFrame, eight.serverCpuMsPerFrame / one.serverCpuMsPerFrame,
      all.serverCpuMsPerFrame, all.serverCpuMsPerFrame / one.serverCpuMsPerFrame);
  const double encode = EncodeOnceMs();
  std::printf("arrival to last byte at a loopback viewer, median: %.2f ms (%.2f x one encode of %.2f ms)\n",
              one.medianLatencyMs, one.medianLatencyMs / encode, encode);
  const double alone = ViewFps(false);
  const double crowded = ViewFps(true);
  std::printf("view on the paced camera: %.2f fps alone, %.2f fps with 32 viewers, one stalled (%.1f %%)\n", alone,
              crowded, 100.0 * crowded / alone);
  std::printf("summary: 32 viewers %.2f x 1 viewer, median latency %.2f ms, view rate %.1f %% with 32 viewers\n",
              all.serverCpuMsPerFrame / one.serverCpuMsPerFrame, one.medianLatencyMs, 100.0 * crowded / alone);
  return 0;
}
