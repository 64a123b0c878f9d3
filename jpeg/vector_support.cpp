#include "jpeg/vector_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define TAVROCAM_HAVE_CPUID 1
#endif

namespace jpeg {

namespace {

constexpr std::uint32_t kLeaf1Sse2 = 1u << 26;     // EDX
constexpr std::uint32_t kLeaf1Osxsave = 1u << 27;  // ECX
constexpr std::uint32_t kLeaf1Avx = 1u << 28;      // ECX
constexpr std::uint32_t kLeaf7Avx2 = 1u << 5;      // EBX
constexpr std::uint32_t kLeaf7Avx512F = 1u << 16;
constexpr std::uint32_t kLeaf7Avx512Cd = 1u << 28;
constexpr std::uint32_t kLeaf7Avx512Bw = 1u << 30;
constexpr std::uint32_t kLeaf7Avx512Vl = 1u << 31;
constexpr std::uint32_t kXcr0SseAvx = 0x6;   // XMM and upper YMM state
constexpr std::uint32_t kXcr0Avx512 = 0xE6;  // also opmask and both ZMM parts

bool All(std::uint32_t word, std::uint32_t bits) { return (word & bits) == bits; }

}  // namespace

CpuidWords ReadCpuidWords() {
  CpuidWords words{};
#ifdef TAVROCAM_HAVE_CPUID
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return words;
  words.max_leaf = eax;
  if (words.max_leaf < 1) return words;
  __cpuid(1, eax, ebx, ecx, edx);
  words.leaf1_ecx = ecx;
  words.leaf1_edx = edx;
  if (words.max_leaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    words.leaf7_ebx = ebx;
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

VectorSupport VectorSupportFrom(const CpuidWords& words) {
  VectorSupport support{};
  if (words.max_leaf < 1) return support;
  support.sse2 = All(words.leaf1_edx, kLeaf1Sse2);
  // The OS must save both the SSE and the upper AVX halves on a switch.
  const bool avx_state = All(words.leaf1_ecx, kLeaf1Osxsave | kLeaf1Avx) && All(words.xcr0, kXcr0SseAvx);
  if (!avx_state || words.max_leaf < 7) return support;
  support.avx2 = support.sse2 && All(words.leaf7_ebx, kLeaf7Avx2);
  support.avx512 = support.avx2 &&
                   All(words.leaf7_ebx, kLeaf7Avx512F | kLeaf7Avx512Bw | kLeaf7Avx512Vl | kLeaf7Avx512Cd) &&
                   All(words.xcr0, kXcr0Avx512);
  return support;
}

VectorSupport DetectVectorSupport() { return VectorSupportFrom(ReadCpuidWords()); }

VectorSupport CapVectorSupport(VectorSupport support, VectorSetCap cap) {
  switch (cap) {
    case VectorSetCap::kSse2: support.avx2 = false; [[fallthrough]];
    case VectorSetCap::kAvx2: support.avx512 = false; break;
    case VectorSetCap::kAvx512:
    case VectorSetCap::kNone: break;
  }
  return support;
}

VectorSupport UsableVectorSupport() {
  return CapVectorSupport(DetectVectorSupport(), ReadVectorSetCap(CpuOverridePath()));
}

const char* KernelVariantName(const void* kernel) {
  struct Entry {
    const void* kernel;
    const char* name;
  };
  const Entry entries[] = {
      {reinterpret_cast<const void*>(&fdct_islow_plain), "plain"},
      {reinterpret_cast<const void*>(&quantize_plain), "plain"},
      {reinterpret_cast<const void*>(&extract_bgr_ycc_2x2_plain), "plain"},
      {reinterpret_cast<const void*>(&huffman_block_plain), "plain"},
      {reinterpret_cast<const void*>(&encode_mcu_plain), "plain"},
      {reinterpret_cast<const void*>(&sink_init_plain), "plain"},
      {reinterpret_cast<const void*>(&sink_write_plain), "plain"},
      {reinterpret_cast<const void*>(&end_of_call_plain), "plain"},
#ifdef TAVROCAM_JPEG_X86_KERNELS
      {reinterpret_cast<const void*>(&fdct_islow_sse2), "sse2"},
      {reinterpret_cast<const void*>(&fdct_islow_avx2), "avx2"},
      {reinterpret_cast<const void*>(&quantize_sse2), "sse2"},
      {reinterpret_cast<const void*>(&quantize_avx2), "avx2"},
      {reinterpret_cast<const void*>(&extract_bgr_ycc_2x2_sse2), "sse2"},
      {reinterpret_cast<const void*>(&extract_bgr_ycc_2x2_avx2), "avx2"},
      {reinterpret_cast<const void*>(&huffman_block_sse2), "sse2"},
      {reinterpret_cast<const void*>(&huffman_block_avx2), "avx2"},
      {reinterpret_cast<const void*>(&huffman_block_avx512), "avx512"},
      {reinterpret_cast<const void*>(&fdct_islow_avx512), "avx512"},
      {reinterpret_cast<const void*>(&extract_bgr_ycc_2x2_avx512), "avx512"},
      {reinterpret_cast<const void*>(&encode_mcu_sse2), "sse2"},
      {reinterpret_cast<const void*>(&encode_mcu_avx2), "avx2"},
      {reinterpret_cast<const void*>(&encode_mcu_avx512), "avx512"},
      {reinterpret_cast<const void*>(&end_of_call_avx2), "avx2"},
#endif
  };
  if (kernel == nullptr) return "none";
  for (const Entry& e : entries) {
    if (e.kernel == kernel) return e.name;
  }
  return "unknown";
}

}  // namespace jpeg
