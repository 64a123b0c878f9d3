#include "jpeg/vector_kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define TAVROCAM_HAVE_CPUID 1
#endif

namespace jpeg {

VectorSupport DetectVectorSupport() {
  VectorSupport support{};
#ifdef TAVROCAM_HAVE_CPUID
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return support;
  support.sse2 = (edx & bit_SSE2) != 0;
  const bool osxsave = (ecx & bit_OSXSAVE) != 0;
  const bool avx = (ecx & bit_AVX) != 0;
  if (!osxsave || !avx) return support;
  // The OS must save both the SSE and the upper AVX halves on a switch.
  unsigned int xcr0_low = 0, xcr0_high = 0;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  if ((xcr0_low & 0x6) != 0x6) return support;
  if (__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return support;
  support.avx2 = (ebx & bit_AVX2) != 0;
  support.avx512 = support.avx2 && (ebx & bit_AVX512F) != 0 && (ebx & bit_AVX512BW) != 0 &&
                   (ebx & bit_AVX512VL) != 0 && (ebx & bit_AVX512CD) != 0 && (xcr0_low & 0xE6) == 0xE6;
#endif
  return support;
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
      {reinterpret_cast<const void*>(&sink_flush_plain), "plain"},
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
