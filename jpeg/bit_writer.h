// The plain sink's bit packing, shared by the plain Huffman coder and the
// plain sink routines. Pending bits live in a 64-bit accumulator; whole
// 32-bit words go out with 0xFF 0x00 stuffing, straight into the output area
// while it has room, byte by byte through the checked path near its end.
#pragma once

#include <cstdint>

#include "jpeg/work_state.h"

namespace jpeg {

// Stores one byte, making room first (file modes write the full buffer out;
// buffer modes fail with -28). False once the sink has failed.
bool PutByteChecked(OutputSink& sink, std::uint8_t byte);

// Appends n bytes already stuffed (no pending bits in between), making room
// like PutByteChecked.
void PutBytesChecked(OutputSink& sink, const std::uint8_t* data, std::int64_t n);

// Writes everything collected so far to the file; -23 on a failed or short write.
void WriteOutFileBuffer(OutputSink& sink);

class BitWriter {
 public:
  explicit BitWriter(OutputSink& sink) : sink_(sink), acc_(sink.bit_acc), count_(sink.bit_count) {}
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;
  ~BitWriter() {
    sink_.bit_acc = acc_;
    sink_.bit_count = count_;
  }

  // Appends the low len bits of bits (len 0..32, count_ + len below 64).
  void Put(std::uint32_t bits, int len) {
    acc_ = (acc_ << len) | bits;
    count_ += len;
    if (count_ >= 32) {
      count_ -= 32;
      EmitWord(static_cast<std::uint32_t>(acc_ >> count_));
    }
  }

  // Writes the pending bits, the last byte padded with zero bits.
  void Complete() {
    while (count_ >= 8) {
      count_ -= 8;
      EmitByte(static_cast<std::uint8_t>(acc_ >> count_));
    }
    if (count_ > 0) {
      EmitByte(static_cast<std::uint8_t>(acc_ << (8 - count_)));
      count_ = 0;
    }
    acc_ = 0;
  }

 private:
  static bool HasFfByte(std::uint32_t w) {
    const std::uint32_t inv = ~w;
    return ((inv - 0x01010101u) & ~inv & 0x80808080u) != 0;
  }

  void EmitWord(std::uint32_t w) {
    std::uint8_t* cur = sink_.cur;
    if (sink_.end - cur >= 8) {
      if (!HasFfByte(w)) {
        cur[0] = static_cast<std::uint8_t>(w >> 24);
        cur[1] = static_cast<std::uint8_t>(w >> 16);
        cur[2] = static_cast<std::uint8_t>(w >> 8);
        cur[3] = static_cast<std::uint8_t>(w);
        sink_.cur = cur + 4;
        return;
      }
      for (int shift = 24; shift >= 0; shift -= 8) {
        const auto b = static_cast<std::uint8_t>(w >> shift);
        *cur++ = b;
        if (b == 0xFF) *cur++ = 0;
      }
      sink_.cur = cur;
      return;
    }
    for (int shift = 24; shift >= 0; shift -= 8) EmitByte(static_cast<std::uint8_t>(w >> shift));
  }

  void EmitByte(std::uint8_t b) {
    if (PutByteChecked(sink_, b) && b == 0xFF) PutByteChecked(sink_, 0);
  }

  OutputSink& sink_;
  std::uint64_t acc_;
  int count_;
};

}  // namespace jpeg
