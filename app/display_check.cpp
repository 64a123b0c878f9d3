#include "app/display_check.h"

#include <cstdlib>
#include <string_view>

namespace {

bool EnvironmentSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

bool HasDisplay(int argc, char** argv) {
  if (EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") || EnvironmentSet("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-platform" || arg == "--platform" || arg.starts_with("-platform=")) return true;
  }
  return false;
}

std::string NoDisplayMessage() {
  return "tavrocam: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are all unset); "
         "add --headless to serve or push without a window, or run it under a virtual display: "
         "xvfb-run -a tavrocam ...\n";
}
