#include "jpeg/avx512_lanes.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

// The block goes into zigzag order by two permutes across all 64 values and
// its nonzero mask comes from two lane tests.
void huffman_block_avx512(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                          const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  CodeZigzagLanes(sink, LoadZigzag(block), dc_predictor, dc, ac);
}

}  // namespace jpeg
