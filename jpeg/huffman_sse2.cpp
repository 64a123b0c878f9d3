#include "jpeg/huffman_lanes.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

void huffman_block_sse2(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                        const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  HuffmanLanes(sink, block, dc_predictor, dc, ac);
}

}  // namespace jpeg
