// The web server's costs, each against a baseline of the same run: processor
// time per camera frame with 1, 8 and 32 viewers (against 1 viewer), the time
// from a frame's arrival to its last byte at a loopback viewer (against one
// encode of the frame alone), and the main window's frame rate on the paced
// simulated camera with 32 viewers, one of them stalled (against none).
// For the H.264 stream: bytes per viewer against MJPEG's on the same scene
// with the picture quality of both (PSNR of the decoded frames against the
// source), processor time with 100 viewers against one, capture to first
// byte of a fragment, and the view's rate with 32 H.264 viewers.
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

#include <QApplication>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/camera_server_link.h"
#include "app/main_frame.h"
#include "bench/support/bench_program.h"
#include "bench/support/clocks.h"
#include "bench/support/scratch_profile.h"
#include "broadcast/h264_encoder.h"
#include "broadcast/live_h264_feed.h"
#include "liveview/frame_taps.h"
#include "server/camera_server.h"
#include "server/frame_hub.h"
#include "server/http_server.h"
#include "server/request_router.h"
#include "sim/sim_driver.h"
#include "tests/server/loopback_socket.h"
#include "tests/support/peak_signal_to_noise.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ProcessCpuMs() { return bench::ClockMs(CLOCK_PROCESS_CPUTIME_ID); }

// Processor time of this process's threads, in ms: the encoding thread (by
// its name), the main thread (which draws the test pictures) and all others.
struct ThreadTimes {
  double encoder = 0;
  double main = 0;
  double others = 0;
};

ThreadTimes ThreadCpu() {
  ThreadTimes times;
  const std::string self = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream schedstat(entry.path() / "schedstat");
    std::ifstream comm(entry.path() / "comm");
    double ns = 0;
    std::string name;
    if (!(schedstat >> ns)) continue;
    std::getline(comm, name);
    const double ms = ns / 1e6;
    if (name == "h264 feed")
      times.encoder += ms;
    else if (entry.path().filename() == self)
      times.main += ms;
    else
      times.others += ms;
  }
  return times;
}
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

int Connect(std::uint16_t port, bool smallBuffer, const char* path = "/stream.mjpg") {
  const int fd = ConnectLoopback(port, smallBuffer);
  if (fd < 0) return -1;
  const std::string request = std::string("GET ") + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  return fd;
}

// A viewer that reads as fast as it can and notes when each part ended.
class Reader {
 public:
  explicit Reader(std::uint16_t port, const char* path = "/stream.mjpg") : m_fd(Connect(port, false, path)) {
    m_thread = std::thread([this] { Run(); });
  }
  ~Reader() {
    m_stop = true;
    m_thread.join();
    if (m_fd >= 0) close(m_fd);
  }
  double CpuMs() const { return m_cpuMs.load(); }
  std::uint64_t Bytes() const { return m_bytes.load(); }
  // When the first byte after `since` bytes arrived.
  std::optional<Clock::time_point> FirstByteAfter(std::uint64_t since) {
    std::lock_guard guard(m_lock);
    for (const auto& [total, when] : m_arrivals)
      if (total > since) return when;
    return std::nullopt;
  }
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
      {
        std::lock_guard guard(m_lock);
        m_arrivals.emplace_back(m_bytes.load() + static_cast<std::uint64_t>(n), Clock::now());
        if (m_arrivals.size() > 64) m_arrivals.erase(m_arrivals.begin());
      }
      m_bytes.fetch_add(static_cast<std::uint64_t>(n));
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
  std::atomic<std::uint64_t> m_bytes{0};
  std::mutex m_lock;
  std::vector<std::pair<std::uint64_t, Clock::time_point>> m_arrivals;  // bytes so far, when
  std::vector<Clock::time_point> m_partEnds;
  std::thread m_thread;
};

using Readers = std::vector<std::unique_ptr<Reader>>;

// `count` readers of `path`, once the server counts them all (`admitted`).
template <class Admitted>
Readers OpenReaders(std::uint16_t port, int count, const char* path, Admitted admitted) {
  Readers readers;
  for (int i = 0; i < count; ++i) readers.push_back(std::make_unique<Reader>(port, path));
  while (admitted() < static_cast<unsigned>(count)) std::this_thread::sleep_for(5ms);
  return readers;
}

// Each reader's processor time so far.
std::vector<double> CpuOf(const Readers& readers) {
  std::vector<double> times;
  for (const auto& r : readers) times.push_back(r->CpuMs());
  return times;
}

// The readers' processor time since `start` (from CpuOf), all together: it
// is not the server's.
double CpuSince(const Readers& readers, const std::vector<double>& start) {
  double sum = 0;
  for (std::size_t i = 0; i < readers.size(); ++i) sum += readers[i]->CpuMs() - start[i];
  return sum;
}

// Shows frames `first` to `last`, 100 ms apart. `show(n)` shows frame n and
// returns when it was captured, with a check that tells when the first
// viewer had it; the delays from capture to that moment, in ms.
template <class Show>
std::vector<double> DelaysAtFirstViewer(int first, int last, Show show) {
  std::vector<double> delays;
  for (int n = first; n <= last; ++n) {
    const auto [captured, arrived] = show(n);
    const auto deadline = Clock::now() + 100ms;
    while (Clock::now() < deadline) {
      if (const std::optional<Clock::time_point> at = arrived()) {
        delays.push_back(std::chrono::duration<double, std::milli>(*at - captured).count());
        break;
      }
      std::this_thread::sleep_for(200us);
    }
    std::this_thread::sleep_until(deadline);
  }
  return delays;
}

// The middle one, or -1 when there are none.
double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

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
  Readers readers = OpenReaders(http.Port(), viewers, "/stream.mjpg", [&] { return http.StreamCount(); });

  Feeder feeder;
  // Latency: the frame's arrival against the moment its last byte reached
  // the first viewer; frames are 100 ms apart, so each part is the latest frame.
  const double cpuStart = ProcessCpuMs();
  const std::vector<double> readerStart = CpuOf(readers);
  const std::vector<double> latencies = DelaysAtFirstViewer(1, frames, [&](int n) {
    const std::size_t before = readers[0]->PartEnds().size();
    feeder.Publish(taps, n);
    const Clock::time_point captured{std::chrono::nanoseconds(feeder.lastCapturedNs.load())};
    return std::pair(captured, [&readers, before]() -> std::optional<Clock::time_point> {
      const auto ends = readers[0]->PartEnds();
      if (ends.size() > before) return ends[before];
      return std::nullopt;
    });
  });
  std::this_thread::sleep_for(200ms);
  const double readersCpu = CpuSince(readers, readerStart);
  const double serverCpu = ProcessCpuMs() - cpuStart - readersCpu;
  taps.Remove(hub);
  http.Stop();
  readers.clear();
  return {.serverCpuMsPerFrame = serverCpu / frames, .medianLatencyMs = Median(latencies)};
}

// A camera-like scene: a page of fine detail that stays, a square that
// moves, a little sensor noise; the same pictures for both streams.
struct Scene {
  std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(1024 * 768 * 3);
  std::atomic<std::int64_t> lastCapturedNs{0};

  void Draw(int n) {
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(n) * 7919u;
    for (int y = 0; y < 768; ++y)
      for (int x = 0; x < 1024; ++x) {
        noise = noise * 1664525u + 1013904223u;
        const bool ink = ((x / 3) % 7 == 0 && (y / 12) % 2 == 0) || ((y % 24) == 0);
        const bool square = x >= 100 + n * 6 && x < 228 + n * 6 && y >= 500 && y < 628;
        int value = ink ? 40 : 200 + (x + y) / 64;
        if (square) value = 90;
        value += static_cast<int>((noise >> 28) & 3u) - 1;
        std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * 1024 + static_cast<std::size_t>(x)) * 3];
        p[0] = static_cast<std::uint8_t>(std::clamp(value - 20, 0, 255));
        p[1] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        p[2] = static_cast<std::uint8_t>(std::clamp(value + 10, 0, 255));
      }
  }
  void Publish(CFrameTaps& taps, int n) {
    Draw(n);
    const auto now = Clock::now();
    lastCapturedNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count());
    taps.Publish({.width = 1024, .height = 768, .rowBytes = 3072, .pixels = pixels, .captured = now});
  }
};

constexpr auto& Psnr = test_support::PeakSignalToNoise;

// PSNR of the scene's frames through our JPEG encoder, decoded by Qt.
double JpegPsnr(int frames) {
  Scene scene;
  server::CStillJpegEncoder encoder;
  double sum = 0;
  for (int n = 1; n <= frames; ++n) {
    scene.Draw(n);
    std::vector<std::uint8_t> jpeg;
    encoder.Encode({1024, 768, 3072, scene.pixels}, jpeg);
    QImage image =
        QImage::fromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPEG").convertToFormat(QImage::Format_BGR888);
    std::vector<std::uint8_t> decoded(scene.pixels.size());
    for (int y = 0; y < 768; ++y)
      std::memcpy(&decoded[static_cast<std::size_t>(y) * 3072], image.constScanLine(y), 3072);
    sum += Psnr(scene.pixels, decoded);
  }
  return sum / frames;
}

// PSNR of the same frames through the H.264 viewers' encoder settings,
// decoded by FFmpeg's H.264 decoder, at 10 frames a second as the stream runs.
double H264Psnr(int frames) {
  Scene scene;
  CH264Encoder encoder;
  H264Settings settings;
  settings.width = 1024;
  settings.height = 768;
  settings.bitrateKbit = LiveH264Settings{}.bitrateKbit;
  settings.nominalFps = LiveH264Settings{}.nominalFps;
  if (!encoder.Open(settings).empty()) return 0;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  if (avcodec_open2(decoder, codec, nullptr) < 0) return 0;
  AVFrame* frame = av_frame_alloc();
  SwsContext* toBgr = sws_getContext(1024, 768, AV_PIX_FMT_YUV420P, 1024, 768, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr,
                                     nullptr, nullptr);
  const int* coefficients = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(toBgr, coefficients, 0, coefficients, 1, 0, 1 << 16, 1 << 16);
  std::vector<std::uint8_t> decoded(scene.pixels.size());
  double sum = 0;
  int counted = 0;
  std::string error;
  for (int n = 1; n <= frames; ++n) {
    scene.Draw(n);
    encoder.Encode(
        scene.pixels, 3072, n * 100,
        [&](AVPacket& packet) {
          avcodec_send_packet(decoder, &packet);
          while (avcodec_receive_frame(decoder, frame) == 0) {
            std::uint8_t* planes[1] = {decoded.data()};
            const int strides[1] = {3072};
            sws_scale(toBgr, frame->data, frame->linesize, 0, 768, planes, strides);
            sum += Psnr(scene.pixels, decoded);
            ++counted;
          }
          return true;
        },
        error);
  }
  sws_freeContext(toBgr);
  av_frame_free(&frame);
  avcodec_free_context(&decoder);
  return counted > 0 ? sum / counted : 0;
}

struct H264Cost {
  double serverCpuMsPerFrame = 0;
  // Of which the encoding thread's, and the connection threads' (the
  // server's other threads, less the readers).
  double encoderMsPerFrame = 0;
  double connectionsMsPerFrame = 0;
  double medianFirstByteMs = 0;
  double bytesPerFrame = 0;  // at the first viewer
};

// The H.264 stream (or, with `mjpeg`, the JPEG one) of the scene, frames
// 100 ms apart, to `viewers` loopback readers.
H264Cost MeasureSceneStream(int viewers, int frames, bool mjpeg) {
  CFrameTaps taps;
  server::CFrameHub hub;
  CLiveH264Feed feed;
  StreamOnlyBackend backend;
  server::HttpServerLimits limits;
  limits.maxH264Streams = 128;
  server::CHttpServer http(backend, {}, hub, limits);
  http.SetLiveFeed(feed);
  hub.Start();
  feed.Start();
  taps.Add(mjpeg ? static_cast<IFrameTap&>(hub) : static_cast<IFrameTap&>(feed));
  if (!http.Start("127.0.0.1", 0).empty()) return {};
  Readers readers = OpenReaders(http.Port(), viewers, mjpeg ? "/stream.mjpg" : "/stream.mp4",
                                [&] { return mjpeg ? http.StreamCount() : http.H264StreamCount(); });

  Scene scene;
  // A second of pictures first: every viewer past its key frame.
  for (int n = 1; n <= 10; ++n) {
    scene.Publish(taps, n);
    std::this_thread::sleep_for(100ms);
  }
  const ThreadTimes threadsStart = ThreadCpu();
  const double cpuStart = ProcessCpuMs();
  const std::vector<double> readerStart = CpuOf(readers);
  const std::uint64_t bytesStart = readers[0]->Bytes();
  const std::vector<double> firstBytes = DelaysAtFirstViewer(11, 10 + frames, [&](int n) {
    const std::uint64_t before = readers[0]->Bytes();
    scene.Publish(taps, n);
    const Clock::time_point captured{std::chrono::nanoseconds(scene.lastCapturedNs.load())};
    return std::pair(captured, [&readers, before] { return readers[0]->FirstByteAfter(before); });
  });
  const std::uint64_t bytes = readers[0]->Bytes() - bytesStart;
  const double readersCpu = CpuSince(readers, readerStart);
  const double serverCpu = ProcessCpuMs() - cpuStart - readersCpu;
  const ThreadTimes threadsEnd = ThreadCpu();
  taps.Remove(mjpeg ? static_cast<IFrameTap&>(hub) : static_cast<IFrameTap&>(feed));
  http.Stop();
  readers.clear();
  return {.serverCpuMsPerFrame = serverCpu / frames,
          .encoderMsPerFrame = (threadsEnd.encoder - threadsStart.encoder) / frames,
          .connectionsMsPerFrame = (threadsEnd.others - threadsStart.others - readersCpu) / frames,
          .medianFirstByteMs = Median(firstBytes),
          .bytesPerFrame = static_cast<double>(bytes) / frames};
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
double ViewFps(bool withViewers, const char* path = "/stream.mjpg") {
  bench::CBenchProgram program(-1);
  if (!program.Started()) return 0;
  CCameraServerLink link(program.Frame());
  server::CameraServerOptions serverOptions;
  serverOptions.address.port = 0;
  server::CCameraServer webServer(link, serverOptions);
  if (!webServer.Start().empty()) return 0;
  Readers readers;
  int stalled = -1;
  if (withViewers) {
    for (int i = 0; i < 31; ++i) readers.push_back(std::make_unique<Reader>(webServer.Port(), path));
    stalled = Connect(webServer.Port(), true, path);
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
  const int sceneFrames = 50;
  const H264Cost jpegScene = MeasureSceneStream(1, sceneFrames, true);
  const H264Cost h264One = MeasureSceneStream(1, sceneFrames, false);
  const H264Cost h264Hundred = MeasureSceneStream(100, sceneFrames, false);
  const double jpegPsnr = JpegPsnr(20);
  const double h264Psnr = H264Psnr(40);
  std::printf("bytes per viewer per frame: MJPEG %.0f, H.264 %.0f (%.3f x MJPEG); PSNR MJPEG %.2f dB, H.264 %.2f dB\n",
              jpegScene.bytesPerFrame, h264One.bytesPerFrame, h264One.bytesPerFrame / jpegScene.bytesPerFrame, jpegPsnr,
              h264Psnr);
  std::printf("H.264 processor per frame: 1 viewer %.2f ms, 100 viewers %.2f ms (%.2f x)\n",
              h264One.serverCpuMsPerFrame, h264Hundred.serverCpuMsPerFrame,
              h264Hundred.serverCpuMsPerFrame / h264One.serverCpuMsPerFrame);
  std::printf(
      "  of which the encoding thread %.2f / %.2f ms, the connection threads %.2f / %.2f ms (%.1f us a viewer)\n",
      h264One.encoderMsPerFrame, h264Hundred.encoderMsPerFrame, h264One.connectionsMsPerFrame,
      h264Hundred.connectionsMsPerFrame, 1000.0 * h264Hundred.connectionsMsPerFrame / 100);
  std::printf("capture to first byte of an H.264 fragment, median: %.2f ms (%.2f x one JPEG encode)\n",
              h264One.medianFirstByteMs, h264One.medianFirstByteMs / encode);
  const double crowdedH264 = ViewFps(true, "/stream.mp4");
  std::printf("view on the paced camera with 32 H.264 viewers, one stalled: %.2f fps (%.1f %%)\n", crowdedH264,
              100.0 * crowdedH264 / alone);
  std::printf("summary: 32 viewers %.2f x 1 viewer, median latency %.2f ms, view rate %.1f %% with 32 viewers\n",
              all.serverCpuMsPerFrame / one.serverCpuMsPerFrame, one.medianLatencyMs, 100.0 * crowded / alone);
  std::printf(
      "summary H.264: %.3f x MJPEG's bytes, 100 viewers %.2f x 1 viewer, first byte %.2f ms, view rate %.1f %%\n",
      h264One.bytesPerFrame / jpegScene.bytesPerFrame, h264Hundred.serverCpuMsPerFrame / h264One.serverCpuMsPerFrame,
      h264One.medianFirstByteMs, 100.0 * crowdedH264 / alone);
  return 0;
}
