// The vector kernel variants, one file per kernel and instruction set, each
// compiled with its own instruction-set flags. Every variant gives exactly the
// plain kernel's results, so an encoded file never depends on the processor.
#pragma once

#include "jpeg/kernels.h"

namespace jpeg {

// Which vector sets this processor and its operating system can run.
struct VectorSupport {
  bool sse2;
  bool avx2;     // also needs the OS to save the upper vector state (xgetbv)
  bool avx512;   // F, BW, VL and CD, with the OS saving the mask and 512-bit state
};
VectorSupport DetectVectorSupport();

// Name of the kernel a table entry holds ("plain", "sse2", "avx2"), for the diagnostic.
const char* KernelVariantName(const void* kernel);

void fdct_islow_sse2(std::int16_t* block);
void fdct_islow_avx2(std::int16_t* block);
void quantize_sse2(std::int16_t* block, const std::uint16_t* reciprocals);
void quantize_avx2(std::int16_t* block, const std::uint16_t* reciprocals);
void extract_bgr_ycc_2x2_sse2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace);
void extract_bgr_ycc_2x2_avx2(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                              std::int16_t* workspace);
void huffman_block_sse2(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                        const HuffmanCodeTable& dc, const HuffmanCodeTable& ac);
void huffman_block_avx2(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                        const HuffmanCodeTable& dc, const HuffmanCodeTable& ac);
void fdct_islow_avx512(std::int16_t* block);
void extract_bgr_ycc_2x2_avx512(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                                std::int16_t* workspace);
void huffman_block_avx512(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                          const HuffmanCodeTable& dc, const HuffmanCodeTable& ac);
void encode_mcu_sse2(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count);
void encode_mcu_avx2(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count);
void encode_mcu_avx512(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count);
// After AVX code: clears the upper vector state so later SSE code in the
// caller pays no transition penalty.
void end_of_call_avx2();

}  // namespace jpeg
