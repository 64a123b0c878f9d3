// The simulated camera's record of its command traffic: when the environment
// variable TAVROCAM_SIM_LOG names a file, every command frame received and
// every reply sent is appended to it as a line ("CMD AA 80 00 25 01 A6 A5").
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace sim {

class TrafficLog {
 public:
  // Reads TAVROCAM_SIM_LOG once; without it the log writes nothing.
  TrafficLog();
  explicit TrafficLog(std::string path) : m_path(std::move(path)) {}

  void Write(std::string_view tag, std::span<const std::uint8_t> bytes);

  static std::string FormatLine(std::string_view tag, std::span<const std::uint8_t> bytes);

 private:
  std::string m_path;
  std::mutex m_lock;
};

}  // namespace sim
