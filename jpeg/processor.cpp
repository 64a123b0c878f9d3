#include "jpeg/processor.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define TAVROCAM_HAVE_CPUID 1
#endif

namespace jpeg {

namespace {

ProcessorId ClearedId() {
  ProcessorId id{};
  std::memset(id.vendor, ' ', 12);
  id.vendor[12] = '\0';
  return id;
}

bool ParseInt32(const std::string& text, std::int32_t& out) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(begin, &end, 0);
  if (end == begin || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
  if (*end != '\0') return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

ProcessorId IdentifyProcessor() {
  ProcessorId id = ClearedId();
#ifdef TAVROCAM_HAVE_CPUID
  unsigned int eax = 0;
  unsigned int ebx = 0;
  unsigned int ecx = 0;
  unsigned int edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return id;
  const unsigned int max_leaf = eax;
  std::memcpy(id.vendor, &ebx, 4);
  std::memcpy(id.vendor + 4, &edx, 4);
  std::memcpy(id.vendor + 8, &ecx, 4);
  if (max_leaf < 1) return id;
  __cpuid(1, eax, ebx, ecx, edx);
  id.brand_index = ebx & 0xFF;
  id.type = (eax >> 12) & 0x3;
  id.family = (eax >> 8) & 0xF;
  id.model = (eax >> 4) & 0xF;
  id.stepping = eax & 0xF;
  id.features = edx;
#endif
  return id;
}

std::int32_t ClassifyProcessor(const ProcessorId& id) {
  const bool mmx = (id.features & kFeatureMmx) != 0;
  const bool sse = (id.features & kFeatureSse) != 0;
  const bool sse2 = (id.features & kFeatureSse2) != 0;
  switch (id.family) {
    case 5:
      return mmx ? 3 : 1;
    case 6:
      if (!mmx) return 2;
      return sse ? 5 : 4;
    case 15:
      return sse2 ? 6 : 0;
    default:
      return 0;
  }
}

std::string CpuOverridePath() {
  if (const char* path = std::getenv("TAVROCAM_JPEG_CONFIG")) return path;
  return "/etc/tavrocam/jpeg.conf";
}

std::int32_t ReadCpuOverride(const std::string& path) {
  std::ifstream in(path);
  if (!in) return -1;
  static constexpr char kKey[] = "USECPU=";
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, sizeof kKey - 1, kKey) != 0) continue;
    std::int32_t value = -1;
    return ParseInt32(line.substr(first + sizeof kKey - 1), value) ? value : -1;
  }
  return -1;
}

std::int32_t DetermineProcessorClass(ProcessorId& id) {
  id = IdentifyProcessor();
  const std::int32_t forced = ReadCpuOverride(CpuOverridePath());
  if (forced >= 0 && forced <= 6) return forced;
  return ClassifyProcessor(id);
}

}  // namespace jpeg
