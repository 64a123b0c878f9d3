#include "sim/traffic_log.h"

#include <cstdio>
#include <cstdlib>

namespace sim {

TrafficLog::TrafficLog() {
  if (const char* path = std::getenv("TAVROCAM_SIM_LOG"); path && *path) m_path = path;
}

std::string TrafficLog::FormatLine(std::string_view tag, std::span<const std::uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string line(tag);
  for (std::uint8_t b : bytes) {
    line += ' ';
    line += kHex[b >> 4];
    line += kHex[b & 0xF];
  }
  line += '\n';
  return line;
}

void TrafficLog::Write(std::string_view tag, std::span<const std::uint8_t> bytes) {
  if (m_path.empty()) return;
  const std::string line = FormatLine(tag, bytes);
  std::lock_guard guard(m_lock);
  // Opened per line so that the file can be read, moved or removed at any time;
  // a log that cannot be written is skipped, never fatal to the camera.
  if (std::FILE* f = std::fopen(m_path.c_str(), "a")) {
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
  }
}

}  // namespace sim
