#include "app/command_line.h"

#include <charconv>
#include <string_view>

#include "server/serve_address.h"

CommandLineResult ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--camera=usb") {
      line.camera = CameraBackend::Usb;
    } else if (arg == "--camera=sim") {
      line.camera = CameraBackend::Simulated;
    } else if (arg == "--sim-paced") {
      line.simPaced = true;
    } else if (arg == "--verbose") {
      line.verbose = true;
    } else if (arg == "--serve") {
      line.serve = std::string();
    } else if (arg.starts_with("--serve=")) {
      line.serve = std::string(arg.substr(8));
      if (!server::ParseServeAddress(*line.serve)) return {std::nullopt, "--serve wants ADDR:PORT, not " + *line.serve};
    } else if (arg.starts_with("--serve-token=")) {
      line.serveToken = std::string(arg.substr(14));
    } else if (arg == "--headless") {
      line.headless = true;
    } else if (arg == "--usb-id") {
      if (i + 1 >= args.size()) return {std::nullopt, "--usb-id needs a value VVVV:PPPP"};
      line.usbIds.push_back(args[++i]);
    } else if (arg.starts_with("--usb-id=")) {
      line.usbIds.emplace_back(arg.substr(9));
    } else if (arg.starts_with("--push=")) {
      line.pushUrl = std::string(arg.substr(7));
      if (line.pushUrl.empty()) return {std::nullopt, "--push needs a URL or a .mkv/.mp4 file"};
    } else if (arg.starts_with("--push-bitrate=")) {
      const std::string_view value = arg.substr(15);
      int kbit = 0;
      const auto [end, failure] = std::from_chars(value.data(), value.data() + value.size(), kbit);
      if (failure != std::errc() || end != value.data() + value.size() || kbit < 100 || kbit > 50000) {
        return {std::nullopt, "--push-bitrate wants kilobits per second from 100 to 50000"};
      }
      line.pushBitrateKbit = kbit;
    } else {
      return {std::nullopt, "unknown option: " + std::string(arg)};
    }
  }
  return {line, {}};
}

std::string UsageText() {
  return "usage: tavrocam [--camera=usb|sim] [--sim-paced] [--usb-id VVVV:PPPP]... [--verbose]\n"
         "                [--serve[=ADDR:PORT]] [--serve-token=SECRET] [--headless]\n"
         "                [--push=URL|FILE.mkv|FILE.mp4] [--push-bitrate=KBIT]\n";
}
