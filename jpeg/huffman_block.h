// The serial part of the Huffman block coder, shared by every instruction set
// (no vector code here): the DC difference, then the AC values found through a
// mask of the nonzero ones. Internal linkage, so each instruction-set file
// compiles its own copy with its own flags.
#pragma once

#include <bit>
#include <cstdint>

#include "jpeg/bit_writer.h"
#include "jpeg/tables.h"
#include "jpeg/work_state.h"

namespace jpeg {
namespace {

// Bit length of |value| and the value's low bits as coded (value - 1 when negative).
__attribute__((always_inline)) inline void CodeMagnitude(std::int32_t value, int& size, std::uint32_t& bits) {
  const std::int32_t sign = value >> 31;
  const auto magnitude = static_cast<std::uint32_t>((value ^ sign) - sign);
  size = std::bit_width(magnitude);
  bits = static_cast<std::uint32_t>(value + sign) & ((1u << size) - 1u);
}

template <typename Writer>
__attribute__((always_inline)) inline void CodeDc(Writer& out, std::int16_t value, std::int32_t& dc_predictor,
                                                  const HuffmanCodeTable& dc) {
  const std::int32_t diff = value - dc_predictor;
  dc_predictor = value;
  int size = 0;
  std::uint32_t bits = 0;
  CodeMagnitude(diff, size, bits);
  out.Put((static_cast<std::uint32_t>(dc.code[size]) << size) | bits, dc.length[size] + size);
}

// Writers that gather bits unchecked (wide_bit_writer.h) want a flush after
// every symbol; the plain writer checks by itself.
template <typename Writer>
__attribute__((always_inline)) inline void FlushIfWide(Writer& out) {
  if constexpr (requires { out.Flush(); }) out.Flush();
}

// Codes one block: the DC value, then the AC values marked in nonzero (zigzag
// positions), whose category and coded bits magnitude(k, size, bits) gives.
template <typename Writer, typename Magnitude>
__attribute__((always_inline)) inline void CodeBlockBits(Writer& out, std::int16_t dc_value, std::uint64_t nonzero,
                                                         Magnitude magnitude, std::int32_t& dc_predictor,
                                                         const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  CodeDc(out, dc_value, dc_predictor, dc);
  FlushIfWide(out);

  int last = 0;
  int size = 0;
  std::uint32_t bits = 0;
  while (nonzero != 0) {
    const int k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int run = k - last - 1;
    for (; run >= 16; run -= 16) {
      out.Put(ac.code[0xF0], ac.length[0xF0]);
      FlushIfWide(out);
    }
    magnitude(k, size, bits);
    const int symbol = (run << 4) | size;
    out.Put((static_cast<std::uint32_t>(ac.code[symbol]) << size) | bits, ac.length[symbol] + size);
    FlushIfWide(out);
    last = k;
  }
  if (last != 63) out.Put(ac.code[0x00], ac.length[0x00]);
}

// The same for a value known to be nonzero, as every AC value the coder
// reaches through its mask is: without the zero case the bit length is one
// bit scan (no LZCNT is assumed), with no test and branch around it.
__attribute__((always_inline)) inline void CodeNonzeroMagnitude(std::int32_t value, int& size, std::uint32_t& bits) {
  const std::int32_t sign = value >> 31;
  const auto magnitude = static_cast<std::uint32_t>((value ^ sign) - sign);
  size = 32 - __builtin_clz(magnitude);
  bits = static_cast<std::uint32_t>(value + sign) & ((1u << size) - 1u);
}

// CodeBlockBits for a wide writer and a block transformed from samples,
// whose AC values stay below 2048 (category at most 11): two symbols (at
// most 27 bits each) then fit between flushes with the 7 bits a flush
// leaves, so the writer flushes once per two values, halving the serial
// chain through its bit count. A zero run of sixteen or more flushes what
// is pending first.
template <typename Writer, typename Magnitude>
__attribute__((always_inline)) inline void CodeSampleBlockBits(Writer& out, std::int16_t dc_value,
                                                               std::uint64_t nonzero, Magnitude magnitude,
                                                               std::int32_t& dc_predictor, const HuffmanCodeTable& dc,
                                                               const HuffmanCodeTable& ac) {
  CodeDc(out, dc_value, dc_predictor, dc);
  out.Flush();

  int last = 0;
  const auto put_value = [&](bool after_pending) __attribute__((always_inline)) {
    const int k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int run = k - last - 1;
    if (run >= 16) {
      if (after_pending) out.Flush();
      for (; run >= 16; run -= 16) {
        out.Put(ac.code[0xF0], ac.length[0xF0]);
        out.Flush();
      }
    }
    int size = 0;
    std::uint32_t bits = 0;
    magnitude(k, size, bits);
    const int symbol = (run << 4) | size;
    out.Put((static_cast<std::uint32_t>(ac.code[symbol]) << size) | bits, ac.length[symbol] + size);
    last = k;
  };
  while (nonzero != 0) {
    put_value(false);
    if (nonzero == 0) {
      out.Flush();
      break;
    }
    put_value(true);
    out.Flush();
  }
  if (last != 63) out.Put(ac.code[0x00], ac.length[0x00]);
}

// Codes a block already in zigzag order; nonzero marks its nonzero AC values.
// kFromSamples: the block was transformed from samples and out is a wide
// writer, which then takes two values between flushes (CodeSampleBlockBits).
template <bool kFromSamples = false, typename Writer>
__attribute__((always_inline)) inline void CodeZigzagBits(Writer& out, std::int16_t dc_value,
                                                          const std::int16_t* zigzag, std::uint64_t nonzero,
                                                          std::int32_t& dc_predictor, const HuffmanCodeTable& dc,
                                                          const HuffmanCodeTable& ac) {
  const auto magnitude = [zigzag](int k, int& size, std::uint32_t& bits) __attribute__((always_inline)) {
    CodeNonzeroMagnitude(zigzag[k], size, bits);
  };
  if constexpr (kFromSamples) {
    CodeSampleBlockBits(out, dc_value, nonzero, magnitude, dc_predictor, dc, ac);
  } else {
    CodeBlockBits(out, dc_value, nonzero, magnitude, dc_predictor, dc, ac);
  }
}

// The same straight into the sink through the plain writer; the DC value is block[0].
__attribute__((always_inline)) inline void CodeZigzagBlock(OutputSink& sink, const std::int16_t* block,
                                                           const std::int16_t* zigzag, std::uint64_t nonzero,
                                                           std::int32_t& dc_predictor, const HuffmanCodeTable& dc,
                                                           const HuffmanCodeTable& ac) {
  BitWriter out(sink);
  CodeZigzagBits(out, block[0], zigzag, nonzero, dc_predictor, dc, ac);
}

}  // namespace
}  // namespace jpeg
