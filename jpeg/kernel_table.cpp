#include "jpeg/kernels.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

void FillKernelTable(KernelTable& table, std::int32_t cpu_type) {
  const ProcessorId processor = table.processor;
  table = KernelTable{};
  table.processor = processor;
  table.cpu_type = cpu_type;

  table.end_of_call = end_of_call_plain;
  table.fdct[1] = fdct_islow_plain;
  table.quantize[1] = quantize_plain;
  table.sink_init = sink_init_plain;
  table.sink_write = sink_write_plain;
  table.extract_bgr_ycc_2x2 = extract_bgr_ycc_2x2_plain;
  table.huffman_block = huffman_block_plain;
  table.encode_mcu = encode_mcu_plain;
  // dct_method 0 has no kernels in this encoder: writes asking for it are refused.

  // Classes 3..6 name vector processors: they get the best vector set this
  // machine and its operating system can run, within the administrator's
  // cap. Every set gives the same bytes.
  if (cpu_type < 3 || cpu_type > 6) return;
#ifdef TAVROCAM_JPEG_X86_KERNELS  // elsewhere the plain set serves every class
  const cpu::KernelSet set = cpu::EncoderSetFor(cpu::UsableFeatures());
  if (set == cpu::KernelSet::kAvx2 || set == cpu::KernelSet::kAvx512) {
    table.end_of_call = end_of_call_avx2;
    table.fdct[1] = fdct_islow_avx2;
    table.quantize[1] = quantize_avx2;
    table.extract_bgr_ycc_2x2 = extract_bgr_ycc_2x2_avx2;
    table.huffman_block = huffman_block_avx2;
    table.encode_mcu = encode_mcu_avx2;
    if (set == cpu::KernelSet::kAvx512) {
      // The coder's reordering gains from 512-bit permutes, the transform
      // from the extra registers and from two blocks a register, the
      // extraction from four rows a register; the quantiser stays 256-bit.
      table.huffman_block = huffman_block_avx512;
      table.extract_bgr_ycc_2x2 = extract_bgr_ycc_2x2_avx512;
      table.fdct[1] = fdct_islow_avx512;
      table.encode_mcu = encode_mcu_avx512;
    }
  } else if (set == cpu::KernelSet::kSse2) {
    table.fdct[1] = fdct_islow_sse2;
    table.quantize[1] = quantize_sse2;
    table.extract_bgr_ycc_2x2 = extract_bgr_ycc_2x2_sse2;
    table.huffman_block = huffman_block_sse2;
    table.encode_mcu = encode_mcu_sse2;
  }
#endif
}

}  // namespace jpeg
