// The Huffman block coder of every vector set, built once per set with that
// set's flags. All three code with the same serial coder; they differ in how
// a block reaches zigzag order with its mask of nonzero values.
#include "jpeg/vector_kernels.h"

#if defined(TAVROCAM_JPEG_SET_SSE2)
#include "jpeg/huffman_lanes.h"
#elif defined(TAVROCAM_JPEG_SET_AVX2)
#include "jpeg/avx2_lanes.h"
#elif defined(TAVROCAM_JPEG_SET_AVX512)
#include "jpeg/avx512_lanes.h"
#else
#error "built once per vector set, with TAVROCAM_JPEG_SET_<SET> defined"
#endif

namespace jpeg {

#if defined(TAVROCAM_JPEG_SET_SSE2)
// The mask comes from vector compares; the values move one by one.
void huffman_block_sse2(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                        const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  HuffmanLanes(sink, block, dc_predictor, dc, ac);
}
#elif defined(TAVROCAM_JPEG_SET_AVX2)
// The eight rows go into zigzag order by byte shuffles.
void huffman_block_avx2(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                        const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  __m128i rows[8];
  LoadRows(block, rows);
  BitWriter out(sink);
  CodeRows(out, rows, dc_predictor, dc, ac);
}
#elif defined(TAVROCAM_JPEG_SET_AVX512)
// The block goes into zigzag order by two permutes across all 64 values and
// its nonzero mask comes from two lane tests.
void huffman_block_avx512(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                          const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  CodeZigzagLanes(sink, LoadZigzag(block), dc_predictor, dc, ac);
}
#endif

}  // namespace jpeg
