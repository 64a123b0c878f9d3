#include "bench/support/vector_sets.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "jpeg/processor_features.h"

namespace bench {

std::vector<std::string> RunnableVectorSets() {
  const cpu::ProcessorFeatures& machine = cpu::DetectedFeatures();
  std::vector<std::string> sets;
  if (machine.sse2) sets.emplace_back("sse2");
  if (machine.avx2) sets.emplace_back("avx2");
  if (machine.avx512) sets.emplace_back("avx512");
  return sets;
}

std::string RunUnderVectorSetCap(const std::string& set, const std::string& argument) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return {};
  self[n] = '\0';
  char conf[] = "/tmp/tavrocam-bench-capXXXXXX";
  const int fd = mkstemp(conf);
  if (fd < 0) return {};
  close(fd);
  std::ofstream(conf) << "VECTORSET=" << set << "\n";
  const std::string command =
      "TAVROCAM_JPEG_CONFIG='" + std::string(conf) + "' '" + std::string(self) + "' " + argument;
  std::string line;
  if (FILE* child = popen(command.c_str(), "r")) {
    char buffer[512];
    if (std::fgets(buffer, sizeof buffer, child) != nullptr) line = buffer;
    if (pclose(child) != 0) line.clear();
  }
  std::remove(conf);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace bench
