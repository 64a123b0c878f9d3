#include "jpeg/avx2_lanes.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

void huffman_block_avx2(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                        const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  __m128i rows[8];
  LoadRows(block, rows);
  BitWriter out(sink);
  CodeRows(out, rows, dc_predictor, dc, ac);
}

}  // namespace jpeg
