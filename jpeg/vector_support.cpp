#include "jpeg/vector_kernels.h"

namespace jpeg {

namespace {

VectorSupport SupportOf(const cpu::ProcessorFeatures& f) {
  return {.sse2 = f.sse2, .avx2 = f.avx2, .avx512 = f.avx512};
}

}  // namespace

VectorSupport VectorSupportFrom(const CpuidWords& words) { return SupportOf(cpu::FeaturesFrom(words)); }

VectorSupport DetectVectorSupport() { return SupportOf(cpu::DetectedFeatures()); }

VectorSupport CapVectorSupport(VectorSupport support, VectorSetCap cap) {
  return SupportOf(cpu::CapFeatures({.sse2 = support.sse2, .avx2 = support.avx2, .avx512 = support.avx512}, cap));
}

VectorSupport UsableVectorSupport() { return SupportOf(cpu::UsableFeatures()); }

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
