// The program's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class CameraBackend { Usb, Simulated };

struct CommandLine {
  CameraBackend camera = CameraBackend::Usb;
  // Pace the simulated camera like a USB 2.0 high-speed link.
  bool simPaced = false;
  // Extra "VVVV:PPPP" ids for the USB backend.
  std::vector<std::string> usbIds;
  bool verbose = false;
  // --serve[=ADDR:PORT]: the text after "=", or empty for the default address.
  std::optional<std::string> serve;
  std::string serveToken;
  // Where the token is kept instead (owner-only file).
  std::string serveTokenFile;
  // Further names the server answers to (a rebound name never is one).
  std::vector<std::string> serveHosts;
  // PEM files: both given, the server speaks HTTPS.
  std::string serveCert;
  std::string serveKey;
  // Qt's offscreen platform: no window on screen, everything else the same.
  bool headless = false;
  // Broadcast push: a server URL or a .mkv/.mp4 path; empty for none.
  std::string pushUrl;
  // 0 for the push's own default.
  int pushBitrateKbit = 0;
  // Where quick captures go, instead of the profile's folder or Pictures.
  std::optional<std::string> captureDir;
  // Seconds between captures of a series started at once.
  std::optional<double> intervalSeconds;
  // Clockwise turn of the picture in degrees: 0, 90, 180 or 270.
  std::optional<int> rotationDegrees;
  // The simulated camera's scene: the test page, or a page of prose on a desk.
  bool simDocumentScene = false;
  // Scanning pages: the look (colour, grey, bw) and the text languages.
  std::optional<std::string> scanLook;
  std::string ocrLanguages = "eng";
  // --help: print the help text and end.
  bool help = false;
  // --version: print the program's and the encoder's version and end.
  bool version = false;
};

struct CommandLineResult {
  std::optional<CommandLine> options;
  std::string error;  // why the line was refused, one line, when options is empty
};

inline constexpr double kMinIntervalSeconds = 0.5;
inline constexpr double kMaxIntervalSeconds = 3600.0;

// `args` without the program name.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);

// Every option with what it does.
std::string UsageText();
