#include "app/command_line.h"

#include <string_view>

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
    } else if (arg == "--usb-id") {
      if (i + 1 >= args.size()) return {std::nullopt, "--usb-id needs a value VVVV:PPPP"};
      line.usbIds.push_back(args[++i]);
    } else if (arg.starts_with("--usb-id=")) {
      line.usbIds.emplace_back(arg.substr(9));
    } else {
      return {std::nullopt, "unknown option: " + std::string(arg)};
    }
  }
  return {line, {}};
}

std::string UsageText() {
  return "usage: tavrocam [--camera=usb|sim] [--sim-paced] [--usb-id VVVV:PPPP]... [--verbose]\n";
}
