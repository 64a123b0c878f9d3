// A bit writer without a data-dependent branch per symbol: symbols are added
// unchecked, and Flush moves every whole pending byte out with one store.
// It keeps the sink's pending bits in the plain writer's form (right-aligned,
// at most 23 left when it is done), so the two mix freely.
//
// With exact stores (AVX-512BW masked stores) it can write straight into the
// sink's output area wherever a whole block surely fits: no byte past those
// it produces is touched. Without them every flush writes 8 bytes, so it
// writes into a staging area with 8 bytes to spare, copied out afterwards.
#pragma once

#include <cstdint>
#include <cstring>

#ifdef __AVX512BW__
#include <immintrin.h>
#endif

#include "jpeg/work_state.h"

namespace jpeg {

// Most bytes one block can produce, every byte stuffed: bits left by the
// plain writer (4 bytes), the DC symbol and value (at most 32 bits), at most
// 32 bits per AC position (a ZRL covers sixteen), the end-of-block code.
inline constexpr std::int64_t kWideBlockRoom = 2 * (4 + 4 + 63 * 4 + 2);
// What an 8-byte store may write past the last byte produced.
inline constexpr std::int64_t kWideOverhang = 8;

template <bool kExactStores>
class WideBitWriter {
 public:
  // Bytes go to out onwards; out is advanced when the writer is done.
  WideBitWriter(OutputSink& sink, std::uint8_t*& out)
      : sink_(sink), out_(out), acc_(sink.bit_acc), count_(sink.bit_count), cur_(out) {
    Flush();  // the plain writer may leave up to 31 bits pending
  }
  WideBitWriter(const WideBitWriter&) = delete;
  WideBitWriter& operator=(const WideBitWriter&) = delete;
  ~WideBitWriter() {
    sink_.bit_acc = acc_;
    sink_.bit_count = count_;
    out_ = cur_;
  }

  // Appends the low len bits of bits; at most 63 bits may wait between flushes.
  void Put(std::uint32_t bits, int len) {
    acc_ = (acc_ << len) | bits;
    count_ += len;
  }

  // Whole pending bytes out, 0xFF followed by a stuffed 0x00.
  void Flush() {
    // The pending bits at the top of the word, zeros below: only whole
    // pending bytes can read as 0xFF. Two shifts, so that none pending
    // gives zero without a branch.
    const std::uint64_t aligned = (acc_ << (63 - count_)) << 1;
    const int bytes = count_ >> 3;
    if (HasFfByte(aligned)) {
      for (int i = 0; i < bytes; ++i) {
        const auto b = static_cast<std::uint8_t>(aligned >> (56 - 8 * i));
        *cur_++ = b;
        if (b == 0xFF) *cur_++ = 0;
      }
    } else {
      const std::uint64_t big_endian = __builtin_bswap64(aligned);
      if constexpr (kExactStores) {
#ifdef __AVX512BW__
        _mm_mask_storeu_epi8(cur_, static_cast<__mmask16>((1u << bytes) - 1u),
                             _mm_cvtsi64_si128(static_cast<long long>(big_endian)));
#else
        static_assert(!kExactStores, "exact stores need AVX-512BW");
#endif
      } else {
        std::memcpy(cur_, &big_endian, sizeof big_endian);
      }
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
  std::uint8_t*& out_;
  std::uint64_t acc_;
  int count_;
  std::uint8_t* cur_;
};

}  // namespace jpeg
