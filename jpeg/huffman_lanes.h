// The Huffman block coder with its nonzero mask built by vector compares;
// internal linkage so each instruction-set file compiles its own copy.
#pragma once

#include <emmintrin.h>

#include <bit>
#include <cstdint>

#include "jpeg/huffman_block.h"
#include "jpeg/tables.h"

namespace jpeg {
namespace {

__attribute__((always_inline)) inline std::uint64_t NonzeroMask(const std::int16_t* values) {
  const __m128i zero = _mm_setzero_si128();
  std::uint64_t zero_bits = 0;
  for (int i = 0; i < 64; i += 16) {
    const __m128i a = _mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(values + i)), zero);
    const __m128i b = _mm_cmpeq_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(values + i + 8)), zero);
    const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(a, b)));
    zero_bits |= static_cast<std::uint64_t>(bits) << i;
  }
  return ~zero_bits;
}

__attribute__((always_inline)) inline void HuffmanLanes(OutputSink& sink, const std::int16_t* block,
                                                        std::int32_t& dc_predictor, const HuffmanCodeTable& dc,
                                                        const HuffmanCodeTable& ac) {
  alignas(16) std::int16_t zigzag[64];
  zigzag[0] = 0;  // the DC value is coded apart
  for (int k = 1; k < 64; ++k) zigzag[k] = block[kZigzag[k]];
  CodeZigzagBlock(sink, block, zigzag, NonzeroMask(zigzag), dc_predictor, dc, ac);
}

}  // namespace
}  // namespace jpeg
