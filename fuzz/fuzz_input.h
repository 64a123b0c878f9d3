// Reads a fuzzer's input front to back as the fields a target needs. Past the
// end every field reads as zero, so any input, even an empty one, is a case;
// seeds can be written by hand in the order the target reads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : m_bytes(data, size) {}

  std::uint8_t Byte() { return m_next < m_bytes.size() ? m_bytes[m_next++] : 0; }
  std::uint16_t Word() {  // big-endian, as a hex dump of a seed reads
    const std::uint16_t high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
  }
  bool Flag(std::uint8_t flags, int bit) const { return (flags >> bit & 1) != 0; }
  // Fills `out` from the input; what the input lacks stays zero.
  void Fill(std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    const std::size_t n = std::min(out.size(), Remaining().size());
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_next), n, out.begin());
    m_next += n;
  }
  std::span<const std::uint8_t> Remaining() const { return m_bytes.subspan(m_next); }

 private:
  std::span<const std::uint8_t> m_bytes;
  std::size_t m_next = 0;
};

}  // namespace fuzz
