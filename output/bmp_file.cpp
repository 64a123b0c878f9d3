#include "output/bmp_file.h"

namespace {

std::uint32_t Read32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t Read16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

void Put32(std::uint8_t* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

constexpr std::size_t kCoreHeaderBytes = 12;
constexpr std::size_t kInfoHeaderBytes = 40;

}  // namespace

std::optional<BmpFileLayout> BmpLayoutFor(std::span<const std::uint8_t> packed) {
  if (packed.size() < 4) return std::nullopt;
  const std::uint32_t headerBytes = Read32(packed, 0);
  if (headerBytes != kCoreHeaderBytes && headerBytes < kInfoHeaderBytes) return std::nullopt;
  if (headerBytes > packed.size()) return std::nullopt;

  std::uint64_t imageBytes = 0;
  std::uint64_t colourEntries = 0;
  std::uint64_t entryBytes = 4;
  if (headerBytes == kCoreHeaderBytes) {
    // The old core header has 16-bit sizes, no image-size field and 3-byte entries.
    const std::uint64_t width = Read16(packed, 4);
    const std::uint64_t height = Read16(packed, 6);
    const std::uint16_t bits = Read16(packed, 10);
    imageBytes = (width * bits + 31) / 32 * 4 * height;
    colourEntries = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    entryBytes = 3;
  } else {
    const std::uint16_t bits = Read16(packed, 14);
    const std::uint32_t coloursUsed = Read32(packed, 32);
    imageBytes = Read32(packed, 20);
    if (imageBytes == 0) {
      // Uncompressed bitmaps may leave the image size out.
      const auto width = static_cast<std::int32_t>(Read32(packed, 4));
      const auto height = static_cast<std::int32_t>(Read32(packed, 8));
      const std::uint64_t w = width < 0 ? 0 : static_cast<std::uint64_t>(width);
      const std::uint64_t h = height < 0 ? -static_cast<std::int64_t>(height) : height;
      imageBytes = (w * bits + 31) / 32 * 4 * h;
    }
    if (headerBytes == kInfoHeaderBytes && coloursUsed != 0) {
      colourEntries = coloursUsed;
    } else {
      colourEntries = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
    }
  }

  const std::uint64_t pixelStart = headerBytes + colourEntries * entryBytes;
  const std::uint64_t packedBytes = pixelStart + imageBytes;
  const std::uint64_t fileBytes = kBmpFileHeaderBytes + packedBytes;
  if (packedBytes > packed.size() || fileBytes > UINT32_MAX) return std::nullopt;
  return BmpFileLayout{static_cast<std::uint32_t>(fileBytes),
                       static_cast<std::uint32_t>(kBmpFileHeaderBytes + pixelStart)};
}

std::array<std::uint8_t, kBmpFileHeaderBytes> BmpFileHeader(const BmpFileLayout& layout) {
  std::array<std::uint8_t, kBmpFileHeaderBytes> header{};
  header[0] = 'B';
  header[1] = 'M';
  Put32(&header[2], layout.fileBytes);
  // Bytes 6..9 are the two reserved words, zero.
  Put32(&header[10], layout.pixelOffset);
  return header;
}
