// The Huffman block coder with its nonzero mask built by vector compares;
// internal linkage so each instruction-set file compiles its own copy.
#pragma once

#include <emmintrin.h>

#include <bit>
#include <cstdint>

#include "jpeg/bit_writer.h"
#include "jpeg/tables.h"
#include "jpeg/work_state.h"

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

__attribute__((always_inline)) inline void CodeMagnitude(std::int32_t value, int& size, std::uint32_t& bits) {
  const std::int32_t sign = value >> 31;
  const auto magnitude = static_cast<std::uint32_t>((value ^ sign) - sign);
  size = std::bit_width(magnitude);
  bits = static_cast<std::uint32_t>(value + sign) & ((1u << size) - 1u);
}

// Codes a block already in zigzag order; nonzero marks its nonzero AC values.
__attribute__((always_inline)) inline void CodeZigzagBlock(OutputSink& sink, const std::int16_t* block,
                                                           const std::int16_t* zigzag, std::uint64_t nonzero,
                                                           std::int32_t& dc_predictor, const HuffmanCodeTable& dc,
                                                           const HuffmanCodeTable& ac) {
  BitWriter out(sink);
  const std::int32_t diff = block[0] - dc_predictor;
  dc_predictor = block[0];
  int size = 0;
  std::uint32_t bits = 0;
  CodeMagnitude(diff, size, bits);
  out.Put((static_cast<std::uint32_t>(dc.code[size]) << size) | bits, dc.length[size] + size);

  int last = 0;
  while (nonzero != 0) {
    const int k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int run = k - last - 1;
    for (; run >= 16; run -= 16) out.Put(ac.code[0xF0], ac.length[0xF0]);
    CodeMagnitude(zigzag[k], size, bits);
    const int symbol = (run << 4) | size;
    out.Put((static_cast<std::uint32_t>(ac.code[symbol]) << size) | bits, ac.length[symbol] + size);
    last = k;
  }
  if (last != 63) out.Put(ac.code[0x00], ac.length[0x00]);
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
