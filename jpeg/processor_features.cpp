#include "jpeg/processor_features.h"

#include <cstddef>
#include <cstring>
#include <iterator>

#include "jpeg/processor.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define TAVROCAM_HAVE_CPUID 1
#endif

namespace cpu {

namespace {

constexpr std::uint32_t kLeaf1Sse2 = 1u << 26;     // EDX
constexpr std::uint32_t kLeaf1Ssse3 = 1u << 9;     // ECX
constexpr std::uint32_t kLeaf1Osxsave = 1u << 27;  // ECX
constexpr std::uint32_t kLeaf1Avx = 1u << 28;      // ECX
constexpr std::uint32_t kLeaf7Avx2 = 1u << 5;      // EBX
constexpr std::uint32_t kLeaf7Avx512F = 1u << 16;
constexpr std::uint32_t kLeaf7Avx512Cd = 1u << 28;
constexpr std::uint32_t kLeaf7Avx512Bw = 1u << 30;
constexpr std::uint32_t kLeaf7Avx512Vl = 1u << 31;
constexpr std::uint32_t kLeaf7Avx512Vbmi = 1u << 1;  // ECX
constexpr std::uint32_t kXcr0SseAvx = 0x6;           // XMM and upper YMM state
constexpr std::uint32_t kXcr0Avx512 = 0xE6;          // also opmask and both ZMM parts

bool All(std::uint32_t word, std::uint32_t bits) { return (word & bits) == bits; }

}  // namespace

CpuidWords ReadCpuidWords() {
  CpuidWords words{};
  std::memset(words.vendor, ' ', sizeof words.vendor);
#ifdef TAVROCAM_HAVE_CPUID
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return words;
  words.max_leaf = eax;
  words.vendor[0] = ebx;
  words.vendor[1] = edx;
  words.vendor[2] = ecx;
  if (words.max_leaf < 1) return words;
  __cpuid(1, eax, ebx, ecx, edx);
  words.leaf1_eax = eax;
  words.leaf1_ebx = ebx;
  words.leaf1_ecx = ecx;
  words.leaf1_edx = edx;
  if (words.max_leaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    words.leaf7_ebx = ebx;
    words.leaf7_ecx = ecx;
  }
  // xgetbv faults unless the OS has turned it on.
  if ((words.leaf1_ecx & kLeaf1Osxsave) != 0) {
    unsigned int xcr0_low = 0, xcr0_high = 0;
    __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
    words.xcr0 = xcr0_low;
  }
#endif
  return words;
}

const CpuidWords& ProcessorWords() {
  static const CpuidWords words = ReadCpuidWords();
  return words;
}

ProcessorFeatures FeaturesFrom(const CpuidWords& words) {
  ProcessorFeatures features;
  if (words.max_leaf < 1) return features;
  features.sse2 = All(words.leaf1_edx, kLeaf1Sse2);
  features.ssse3 = features.sse2 && All(words.leaf1_ecx, kLeaf1Ssse3);
  // The OS must save both the SSE and the upper AVX halves on a switch.
  const bool avx_state = All(words.leaf1_ecx, kLeaf1Osxsave | kLeaf1Avx) && All(words.xcr0, kXcr0SseAvx);
  if (!avx_state || words.max_leaf < 7) return features;
  features.avx2 = features.sse2 && All(words.leaf7_ebx, kLeaf7Avx2);
  features.avx512 = features.avx2 &&
                    All(words.leaf7_ebx, kLeaf7Avx512F | kLeaf7Avx512Bw | kLeaf7Avx512Vl | kLeaf7Avx512Cd) &&
                    All(words.xcr0, kXcr0Avx512);
  features.avx512vbmi = features.avx512 && All(words.leaf7_ecx, kLeaf7Avx512Vbmi);
  return features;
}

const ProcessorFeatures& DetectedFeatures() {
  static const ProcessorFeatures features = FeaturesFrom(ProcessorWords());
  return features;
}

ProcessorFeatures CapFeatures(ProcessorFeatures features, jpeg::VectorSetCap cap) {
  switch (cap) {
    case jpeg::VectorSetCap::kSse2: features.avx2 = false; [[fallthrough]];
    case jpeg::VectorSetCap::kAvx2:
      features.avx512 = false;
      features.avx512vbmi = false;
      break;
    case jpeg::VectorSetCap::kAvx512:
    case jpeg::VectorSetCap::kNone: break;
  }
  return features;
}

ProcessorFeatures UsableFeatures() {
  return CapFeatures(DetectedFeatures(), jpeg::ReadVectorSetCap(jpeg::CpuOverridePath()));
}

const ProcessorFeatures& ProgramFeatures() {
  static const ProcessorFeatures features = UsableFeatures();
  return features;
}

const char* KernelSetName(KernelSet set) {
  // In the enumeration's order.
  constexpr const char* kNames[] = {"plain", "sse2", "ssse3", "avx2", "avx512"};
  static_assert(std::size(kNames) == static_cast<std::size_t>(KernelSet::kAvx512) + 1);
  const auto index = static_cast<std::size_t>(set);
  return index < std::size(kNames) ? kNames[index] : "plain";
}

KernelSet EncoderSetFor(const ProcessorFeatures& features) {
  return features.avx512 ? KernelSet::kAvx512
         : features.avx2 ? KernelSet::kAvx2
         : features.sse2 ? KernelSet::kSse2
                         : KernelSet::kPlain;
}

KernelSet AssemblySetFor(const ProcessorFeatures& features) {
  return features.avx2 ? KernelSet::kAvx2 : features.ssse3 ? KernelSet::kSsse3 : KernelSet::kPlain;
}

KernelSet TurnSetFor(const ProcessorFeatures& features) {
  return features.avx512vbmi ? KernelSet::kAvx512
         : features.avx2     ? KernelSet::kAvx2
         : features.ssse3    ? KernelSet::kSsse3
                             : KernelSet::kPlain;
}

}  // namespace cpu
