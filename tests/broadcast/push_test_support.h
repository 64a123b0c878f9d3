// Helpers for the push tests: camera-like pictures, local listeners run as
// child processes (FFmpeg's own), and reading results back with ffprobe.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "broadcast/broadcast_push.h"
#include "child_process.h"

namespace pushtest {

// A BGR picture with a gradient and a square that moves with `number`, so
// that consecutive pictures differ as camera pictures do.
struct TestPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;
};
TestPicture MakePicture(int width, int height, int number);

// Hands one picture to a push or feed as the live-view worker would.
void ShowPicture(IFrameTap& push, const TestPicture& picture, int number);

// Starts a push to `url`; a test fails when it cannot start.
std::unique_ptr<CBroadcastPush> StartPush(const std::string& url,
                                          std::chrono::milliseconds keepAlive = PushSettings{}.keepAlive);

// Polls `done` every 20 ms until it holds or `limit` passes.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);

// A free port on 127.0.0.1 inside the range kept for these tests.
int FreeLoopbackPort();

// FFmpeg listening as an RTMP server on 127.0.0.1:port for the stream
// "live/test"; it copies what it receives into `output` (FLV), and ends
// after `frames` pictures when that is above 0, or when the stream ends.
class RtmpListener {
 public:
  RtmpListener(int port, const std::string& output, int frames);
  ~RtmpListener();
  bool Started() const { return m_started; }
  // True when it ended by itself with exit code 0 within `limit`.
  bool FinishedCleanly(std::chrono::milliseconds limit);
  void Kill();
  std::string Log();

 private:
  std::unique_ptr<CChildProcess> m_process;
  bool m_started = false;
};

// A TCP server on 127.0.0.1 that takes each connection, reads the client's
// first bytes and hangs up, as an ingest does with a stream key it refuses.
// It stops by itself after a few seconds at most.
class RefusingServer {
 public:
  RefusingServer();
  ~RefusingServer();
  int Port() const { return m_port; }
  int Accepted() const { return m_accepted.load(); }

 private:
  int m_socket = -1;
  int m_port = 0;
  std::atomic<int> m_accepted{0};
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

struct ProbedFrame {
  int width = 0;
  int height = 0;
  double seconds = 0;
  bool key = false;
};
// Every decoded video frame of a file, in order, as ffprobe sees them.
std::vector<ProbedFrame> ProbeFrames(const std::string& path);
// The video stream's "codec_name,pix_fmt" as ffprobe prints them.
std::string ProbeCodec(const std::string& path);

// A folder removed at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

}  // namespace pushtest
