#include "jpeg/huffman_block.h"
#include "jpeg/kernels.h"
#include "jpeg/tables.h"

namespace jpeg {

void huffman_block_plain(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                         const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  // Gather the AC coefficients in zigzag order with a mask of the nonzero
  // ones, so the coder jumps from one nonzero value to the next.
  std::int16_t zigzag[64];
  std::uint64_t nonzero = 0;
  for (int k = 1; k < 64; ++k) {
    const std::int16_t value = block[kZigzag[k]];
    zigzag[k] = value;
    nonzero |= static_cast<std::uint64_t>(value != 0) << k;
  }

  CodeZigzagBlock(sink, block, zigzag, nonzero, dc_predictor, dc, ac);
}

}  // namespace jpeg
