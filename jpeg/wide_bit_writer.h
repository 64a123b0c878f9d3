// A bit writer for the middle of the output area, where a whole block's
// bytes are sure to fit: symbols are added without a check, and Flush moves
// every whole pending byte out with one masked store (AVX-512BW), so there is
// no data-dependent branch per symbol and no byte past them is touched.
// Leaves the sink in the plain writer's form (at most 23 bits pending,
// right-aligned), so the two mix freely.
#pragma once

#include <immintrin.h>

#include <cstdint>

#include "jpeg/bit_writer.h"
#include "jpeg/work_state.h"

namespace jpeg {

// Most bytes one block can produce, every byte stuffed: bits left by the
// plain writer (4 bytes), the DC symbol and value (27 bits), at most 26 bits
// per AC position (a ZRL covers sixteen), the end-of-block code.
inline constexpr std::int64_t kWideBlockRoom = 2 * (4 + 4 + 63 * 4 + 2);

class WideBitWriter {
 public:
  static bool Fits(const OutputSink& sink) { return sink.end - sink.cur >= kWideBlockRoom; }

  explicit WideBitWriter(OutputSink& sink)
      : sink_(sink), acc_(sink.bit_acc), count_(sink.bit_count), cur_(sink.cur) {
    Flush();  // the plain writer may leave up to 31 bits pending
  }
  WideBitWriter(const WideBitWriter&) = delete;
  WideBitWriter& operator=(const WideBitWriter&) = delete;
  ~WideBitWriter() {
    sink_.bit_acc = acc_;
    sink_.bit_count = count_;
    sink_.cur = cur_;
  }

  // Appends the low len bits of bits; at most 63 bits may wait between flushes.
  void Put(std::uint32_t bits, int len) {
    acc_ = (acc_ << len) | bits;
    count_ += len;
  }

  // Whole pending bytes out, 0xFF followed by a stuffed 0x00.
  void Flush() {
    // The pending bits at the top of the word, zeros below: only whole
    // pending bytes can read as 0xFF.
    const std::uint64_t aligned = count_ == 0 ? 0 : acc_ << (64 - count_);
    const int bytes = count_ >> 3;
    if (HasFfByte(aligned)) {
      for (int i = 0; i < bytes; ++i) {
        const auto b = static_cast<std::uint8_t>(aligned >> (56 - 8 * i));
        *cur_++ = b;
        if (b == 0xFF) *cur_++ = 0;
      }
    } else {
      const auto big_endian = static_cast<long long>(__builtin_bswap64(aligned));
      _mm_mask_storeu_epi8(cur_, static_cast<__mmask16>((1u << bytes) - 1u), _mm_cvtsi64_si128(big_endian));
      cur_ += bytes;
    }
    count_ &= 7;
  }

 private:
  static bool HasFfByte(std::uint64_t w) {
    const std::uint64_t inv = ~w;
    return ((inv - 0x0101010101010101u) & ~inv & 0x8080808080808080u) != 0;
  }

  OutputSink& sink_;
  std::uint64_t acc_;
  int count_;
  std::uint8_t* cur_;
};

}  // namespace jpeg
