#include "push_test_support.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include <QString>
#include <QStringList>

namespace pushtest {

using namespace std::chrono_literals;

TestPicture MakePicture(int width, int height, int number) {
  TestPicture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
  const int square = height / 6;
  const int left = (number * 8) % std::max(1, width - square);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = &picture.bgr[(static_cast<std::size_t>(y) * width + x) * 3];
      const bool inSquare = x >= left && x < left + square && y >= square && y < 2 * square;
      pixel[0] = inSquare ? 255 : static_cast<std::uint8_t>(x * 255 / width);
      pixel[1] = inSquare ? 255 : static_cast<std::uint8_t>(y * 255 / height);
      pixel[2] = inSquare ? 255 : 96;
    }
  }
  return picture;
}

void ShowPicture(IFrameTap& push, const TestPicture& picture, int number) {
  ShownFrame frame;
  frame.width = picture.width;
  frame.height = picture.height;
  frame.rowBytes = picture.width * 3;
  frame.pixels = picture.bgr;
  frame.number = static_cast<std::uint64_t>(number);
  frame.captured = std::chrono::steady_clock::now();
  push.OnShownFrame(frame);
}

std::unique_ptr<CBroadcastPush> StartPush(const std::string& url, std::chrono::milliseconds keepAlive) {
  PushSettings settings;
  settings.url = url;
  settings.keepAlive = keepAlive;
  std::string error;
  auto push = CBroadcastPush::Start(settings, error);
  EXPECT_TRUE(push) << error;
  return push;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

int FreeLoopbackPort() {
  // Start at a random place so that suites run side by side rarely meet.
  static std::minstd_rand pick(static_cast<unsigned>(::getpid()));
  const int first = 19350 + static_cast<int>(pick() % 100);
  for (int i = 0; i < 100; ++i) {
    const int port = 19350 + (first - 19350 + i) % 100;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    if (free) return port;
  }
  return 0;
}

namespace {

// Reads the kernel's socket table rather than connecting: the listener takes
// one connection only, and a probe would use it up.
bool IsListening(int port) {
  std::ifstream table("/proc/net/tcp");
  char wanted[16];
  std::snprintf(wanted, sizeof wanted, ":%04X", port);
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state;
    fields >> slot >> local >> remote >> state;
    if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == wanted) return true;
  }
  return false;
}

}  // namespace

RtmpListener::RtmpListener(int port, const std::string& output, int frames) {
  std::vector<std::string> args{
      "-nostdin", "-hide_banner", "-loglevel", "info", "-listen",
      "1",        "-f",           "flv",       "-i",   "rtmp://127.0.0.1:" + std::to_string(port) + "/live/test"};
  if (frames > 0) args.insert(args.end(), {"-frames:v", std::to_string(frames)});
  args.insert(args.end(), {"-c", "copy", "-y", "-f", "flv", output});
  m_process = std::make_unique<CChildProcess>("ffmpeg", args);
  m_started = m_process->Started() && WaitFor([&] { return IsListening(port) || !m_process->Running(); }, 10s) &&
              m_process->Running();
}

RtmpListener::~RtmpListener() { Kill(); }

bool RtmpListener::FinishedCleanly(std::chrono::milliseconds limit) {
  return m_started && m_process->WaitFinished(limit) && m_process->ExitCode() == 0;
}

void RtmpListener::Kill() { m_process->Kill(); }

std::string RtmpListener::Log() { return m_process->Output(); }

RefusingServer::RefusingServer() {
  m_port = FreeLoopbackPort();
  m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(m_port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int yes = 1;
  ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  if (m_port == 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_socket, 4) != 0) {
    m_port = 0;
    return;
  }
  m_thread = std::thread([this] {
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (!m_stop.load() && std::chrono::steady_clock::now() < until) {
      pollfd waiting{m_socket, POLLIN, 0};
      if (::poll(&waiting, 1, 50) <= 0) continue;
      const int client = ::accept(m_socket, nullptr, nullptr);
      if (client < 0) continue;
      ++m_accepted;
      pollfd reading{client, POLLIN, 0};
      char bytes[2048];
      if (::poll(&reading, 1, 2000) > 0) (void)::read(client, bytes, sizeof bytes);
      ::close(client);
    }
  });
}

RefusingServer::~RefusingServer() {
  m_stop.store(true);
  if (m_thread.joinable()) m_thread.join();
  if (m_socket >= 0) ::close(m_socket);
}

namespace {

std::string RunProbe(const std::vector<std::string>& args) { return RunToEnd("ffprobe", args, 30s).value_or(""); }

}  // namespace

std::vector<ProbedFrame> ProbeFrames(const std::string& path) {
  const std::string text =
      RunProbe({"-v", "error", "-select_streams", "v:0", "-show_entries",
                "frame=width,height,best_effort_timestamp_time,key_frame", "-of", "csv=p=0", path});
  std::vector<ProbedFrame> frames;
  for (const QString& line : QString::fromStdString(text).split('\n', Qt::SkipEmptyParts)) {
    // key_frame,best_effort_timestamp_time,width,height (ffprobe's own order)
    const QStringList fields = line.trimmed().split(',');
    if (fields.size() < 4) continue;
    frames.push_back({fields[2].toInt(), fields[3].toInt(), fields[1].toDouble(), fields[0] == "1"});
  }
  return frames;
}

std::string ProbeCodec(const std::string& path) {
  const std::string text = RunProbe(
      {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=codec_name,pix_fmt", "-of", "csv=p=0", path});
  return QString::fromStdString(text).trimmed().toStdString();
}

ScratchFolder::ScratchFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "push-test-XXXXXX").string();
  m_path = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string("/tmp");
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  if (m_path != "/tmp") std::filesystem::remove_all(m_path, ignored);
}

}  // namespace pushtest
