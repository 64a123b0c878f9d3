#include "jpeg/processor.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

#include "jpeg/processor_features.h"

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

// The text after "KEY=" on the first line that starts with it (leading
// blanks allowed); nothing when the file is missing or has no such line.
std::optional<std::string> ReadSetting(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  const std::string prefix = key + "=";
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, prefix.size(), prefix) != 0) continue;
    return line.substr(first + prefix.size());
  }
  return std::nullopt;
}

}  // namespace

ProcessorId IdentifyProcessor() {
  ProcessorId id = ClearedId();
  const cpu::CpuidWords& words = cpu::ProcessorWords();
  std::memcpy(id.vendor, words.vendor, 12);
  if (words.max_leaf < 1) return id;
  id.brand_index = words.leaf1_ebx & 0xFF;
  id.type = (words.leaf1_eax >> 12) & 0x3;
  id.family = (words.leaf1_eax >> 8) & 0xF;
  id.model = (words.leaf1_eax >> 4) & 0xF;
  id.stepping = words.leaf1_eax & 0xF;
  id.features = words.leaf1_edx;
  return id;
}

std::int32_t ClassifyProcessor(const ProcessorId& id) {
  const bool mmx = (id.features & kFeatureMmx) != 0;
  const bool sse = (id.features & kFeatureSse) != 0;
  const bool sse2 = (id.features & kFeatureSse2) != 0;
  switch (id.family) {
    case 5: return mmx ? 3 : 1;
    case 6:
      if (!mmx) return 2;
      return sse ? 5 : 4;
    case 15: return sse2 ? 6 : 0;
    default: return 0;
  }
}

std::string CpuOverridePath() {
  if (const char* path = std::getenv("TAVROCAM_JPEG_CONFIG")) return path;
  return "/etc/tavrocam/jpeg.conf";
}

std::int32_t ReadCpuOverride(const std::string& path) {
  const std::optional<std::string> text = ReadSetting(path, "USECPU");
  std::int32_t value = -1;
  return text && ParseInt32(*text, value) ? value : -1;
}

VectorSetCap ReadVectorSetCap(const std::string& path) {
  const std::optional<std::string> text = ReadSetting(path, "VECTORSET");
  if (!text) return VectorSetCap::kNone;
  std::string name = text->substr(0, text->find_last_not_of(" \t\r") + 1);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  for (VectorSetCap cap : {VectorSetCap::kSse2, VectorSetCap::kAvx2, VectorSetCap::kAvx512}) {
    if (name == VectorSetCapName(cap)) return cap;
  }
  return VectorSetCap::kNone;
}

const char* VectorSetCapName(VectorSetCap cap) {
  switch (cap) {
    case VectorSetCap::kSse2: return "sse2";
    case VectorSetCap::kAvx2: return "avx2";
    case VectorSetCap::kAvx512: return "avx512";
    case VectorSetCap::kNone: break;
  }
  return "none";
}

std::int32_t DetermineProcessorClass(ProcessorId& id) {
  id = IdentifyProcessor();
  const std::int32_t forced = ReadCpuOverride(CpuOverridePath());
  if (forced >= 0 && forced <= 6) return forced;
  return ClassifyProcessor(id);
}

}  // namespace jpeg
