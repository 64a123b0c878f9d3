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
  // Qt's offscreen platform: no window on screen, everything else the same.
  bool headless = false;
  // Broadcast push: a server URL or a .mkv/.mp4 path; empty for none.
  std::string pushUrl;
  // 0 for the push's own default.
  int pushBitrateKbit = 0;
};

struct CommandLineResult {
  std::optional<CommandLine> options;
  std::string error;  // why the line was refused, when options is empty
};

// `args` without the program name.
CommandLineResult ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();
