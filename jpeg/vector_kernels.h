// The vector kernel variants, each compiled with its own instruction-set
// flags (one object library per set, see jpeg/CMakeLists.txt). Every variant gives exactly the
// plain kernel's results, so an encoded file never depends on the processor.
#pragma once

#include <cstdint>

#include "jpeg/kernels.h"
#include "jpeg/processor_features.h"

namespace jpeg {

// Which vector sets this processor and its operating system can run.
struct VectorSupport {
  bool sse2;
  bool avx2;    // also needs the OS to save the upper vector state (xgetbv)
  bool avx512;  // F, BW, VL and CD, with the OS saving the mask and 512-bit state
};

// The identification words, read once for the whole program.
using cpu::CpuidWords;

// The sets the words allow. The kernels are built for exactly these sets'
// instructions (no LZCNT, no BMI), so nothing else needs checking.
VectorSupport VectorSupportFrom(const CpuidWords& words);

// The sets detected once for the whole program.
VectorSupport DetectVectorSupport();

// support without the sets above cap; never adds one.
VectorSupport CapVectorSupport(VectorSupport support, VectorSetCap cap);

// What the vector classes may use here: detection, capped by the VECTORSET
// line of the override file.
VectorSupport UsableVectorSupport();

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
