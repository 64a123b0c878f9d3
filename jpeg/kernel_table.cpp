#include "jpeg/kernels.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

namespace {

// The entries a kernel set fills; the sink routines stay plain for every set.
struct SetKernels {
  EndHookFn end_of_call;
  FdctFn fdct;
  QuantizeFn quantize;
  ExtractFn extract_bgr_ycc_2x2;
  HuffmanBlockFn huffman_block;
  EncodeMcuFn encode_mcu;
};

constexpr SetKernels kPlainKernels = {end_of_call_plain,         fdct_islow_plain,    quantize_plain,
                                      extract_bgr_ycc_2x2_plain, huffman_block_plain, encode_mcu_plain};

#ifdef TAVROCAM_JPEG_X86_KERNELS
constexpr SetKernels kSse2Kernels = {end_of_call_plain,        fdct_islow_sse2,    quantize_sse2,
                                     extract_bgr_ycc_2x2_sse2, huffman_block_sse2, encode_mcu_sse2};
constexpr SetKernels kAvx2Kernels = {end_of_call_avx2,         fdct_islow_avx2,    quantize_avx2,
                                     extract_bgr_ycc_2x2_avx2, huffman_block_avx2, encode_mcu_avx2};
// The coder's reordering gains from 512-bit permutes, the transform from the
// extra registers and from two blocks a register, the extraction from four
// rows a register; the quantiser and the end-of-call hook stay AVX2's.
constexpr SetKernels kAvx512Kernels = {end_of_call_avx2,           fdct_islow_avx512,    quantize_avx2,
                                       extract_bgr_ycc_2x2_avx512, huffman_block_avx512, encode_mcu_avx512};
#endif

void Install(KernelTable& table, const SetKernels& kernels) {
  table.end_of_call = kernels.end_of_call;
  table.fdct[1] = kernels.fdct;
  table.quantize[1] = kernels.quantize;
  table.extract_bgr_ycc_2x2 = kernels.extract_bgr_ycc_2x2;
  table.huffman_block = kernels.huffman_block;
  table.encode_mcu = kernels.encode_mcu;
}

}  // namespace

void FillKernelTable(KernelTable& table, std::int32_t cpu_type) {
  const ProcessorId processor = table.processor;
  table = KernelTable{};
  table.processor = processor;
  table.cpu_type = cpu_type;

  Install(table, kPlainKernels);
  table.sink_init = sink_init_plain;
  table.sink_write = sink_write_plain;
  // dct_method 0 has no kernels in this encoder: writes asking for it are refused.

  // Classes 3..6 name vector processors: they get the best vector set this
  // machine and its operating system can run, within the administrator's
  // cap. Every set gives the same bytes.
  if (cpu_type < 3 || cpu_type > 6) return;
#ifdef TAVROCAM_JPEG_X86_KERNELS  // elsewhere the plain set serves every class
  switch (cpu::EncoderSetFor(cpu::UsableFeatures())) {
    case cpu::KernelSet::kAvx512: Install(table, kAvx512Kernels); break;
    case cpu::KernelSet::kAvx2: Install(table, kAvx2Kernels); break;
    case cpu::KernelSet::kSse2: Install(table, kSse2Kernels); break;
    case cpu::KernelSet::kSsse3:
    case cpu::KernelSet::kPlain: break;
  }
#endif
}

}  // namespace jpeg
