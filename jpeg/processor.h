// Processor class for the kernel choice: identification instruction, class
// table, and the machine-wide "USECPU" override.
#pragma once

#include <cstdint>
#include <string>

namespace jpeg {

// The bits of ProcessorId::features (leaf 1 EDX) the classes look at.
enum ProcessorFeature : std::uint32_t {
  kFeatureMmx = 1u << 23,
  kFeatureSse = 1u << 25,
  kFeatureSse2 = 1u << 26,
};

struct ProcessorId {
  std::uint32_t brand_index;  // leaf 1 EBX bits 0-7
  std::uint32_t type;         // leaf 1 EAX bits 12-13
  std::uint32_t family;       // leaf 1 EAX bits 8-11 (no extended family)
  std::uint32_t model;        // leaf 1 EAX bits 4-7
  std::uint32_t stepping;     // leaf 1 EAX bits 0-3
  std::uint32_t features;     // leaf 1 EDX
  char vendor[13];            // leaf 0 EBX, EDX, ECX; 12 blanks when unknown
};

// Reads the identification instruction; a cleared record where there is none.
ProcessorId IdentifyProcessor();

// Class 0..6 from family and feature flags.
std::int32_t ClassifyProcessor(const ProcessorId& id);

// The override file: TAVROCAM_JPEG_CONFIG when set, else /etc/tavrocam/jpeg.conf.
std::string CpuOverridePath();

// The "USECPU=<n>" value of the override file; -1 when the file is missing,
// unreadable or has no such line.
std::int32_t ReadCpuOverride(const std::string& path);

// The largest vector set the vector classes may use, from a
// "VECTORSET=sse2|avx2|avx512" line of the same file (any letter case). It
// only ever lowers the set: the machine's own support stays the ceiling.
enum class VectorSetCap { kNone, kSse2, kAvx2, kAvx512 };
VectorSetCap ReadVectorSetCap(const std::string& path);
const char* VectorSetCapName(VectorSetCap cap);  // "none", "sse2", ...

// The class JpegInit uses: the override when it is 0..6, else detection.
std::int32_t DetermineProcessorClass(ProcessorId& id);

}  // namespace jpeg
