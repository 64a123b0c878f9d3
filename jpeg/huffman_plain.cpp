#include <bit>

#include "jpeg/bit_writer.h"
#include "jpeg/kernels.h"
#include "jpeg/tables.h"

namespace jpeg {

namespace {

// Bit length of |value| and the value's low bits as coded (value - 1 when negative).
inline void Magnitude(std::int32_t value, int& size, std::uint32_t& bits) {
  const std::int32_t sign = value >> 31;
  const auto magnitude = static_cast<std::uint32_t>((value ^ sign) - sign);
  size = std::bit_width(magnitude);
  bits = static_cast<std::uint32_t>(value + sign) & ((1u << size) - 1u);
}

}  // namespace

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

  BitWriter out(sink);
  const std::int32_t diff = block[0] - dc_predictor;
  dc_predictor = block[0];
  int size = 0;
  std::uint32_t bits = 0;
  Magnitude(diff, size, bits);
  out.Put((static_cast<std::uint32_t>(dc.code[size]) << size) | bits, dc.length[size] + size);

  int last = 0;
  while (nonzero != 0) {
    const int k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int run = k - last - 1;
    for (; run >= 16; run -= 16) out.Put(ac.code[0xF0], ac.length[0xF0]);
    Magnitude(zigzag[k], size, bits);
    const int symbol = (run << 4) | size;
    out.Put((static_cast<std::uint32_t>(ac.code[symbol]) << size) | bits, ac.length[symbol] + size);
    last = k;
  }
  if (last != 63) out.Put(ac.code[0x00], ac.length[0x00]);
}

}  // namespace jpeg
