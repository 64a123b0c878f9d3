#include "jpeg/kernels.h"

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
  table.sink_flush = sink_flush_plain;
  table.extract_bgr_ycc_2x2 = extract_bgr_ycc_2x2_plain;
  table.huffman_block = huffman_block_plain;
  // dct_method 0 has no kernels in this encoder: writes asking for it are refused.

  // Classes 3..6 name vector processors; until their kernels are built here
  // every class runs the plain set, which is the reference for all of them.
}

}  // namespace jpeg
