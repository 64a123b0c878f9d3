#include "output/avi_bitmap_info.h"

#include <cstdlib>
#include <cstring>

namespace {

template <typename T>
T ReadLittle(const std::uint8_t* at) {
  T value{};
  std::memcpy(&value, at, sizeof value);  // the platform is little-endian, like the format
  return value;
}

constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kLargestHeaderBytes = 124;  // the fifth version of the header
constexpr int kLargestSide = 32767;                 // the stream header keeps sizes in 16 bits

}  // namespace

std::optional<PackedBitmapInfo> ReadPackedBitmapInfo(const std::uint8_t* packed) {
  if (packed == nullptr) return std::nullopt;
  const auto headerBytes = ReadLittle<std::uint32_t>(packed);
  if (headerBytes < kInfoHeaderBytes || headerBytes > kLargestHeaderBytes) return std::nullopt;

  const auto width = ReadLittle<std::int32_t>(packed + 4);
  const auto height = ReadLittle<std::int32_t>(packed + 8);
  const auto planes = ReadLittle<std::uint16_t>(packed + 12);
  const auto bitCount = ReadLittle<std::uint16_t>(packed + 14);
  const auto compression = ReadLittle<std::uint32_t>(packed + 16);
  const auto imageBytes = ReadLittle<std::uint32_t>(packed + 20);
  const auto colorsUsed = ReadLittle<std::uint32_t>(packed + 32);

  if (width <= 0 || width > kLargestSide || height == 0 || height < -kLargestSide || height > kLargestSide) {
    return std::nullopt;
  }
  if (planes != 1 || bitCount != 24 || compression != 0 || colorsUsed > 256) return std::nullopt;

  PackedBitmapInfo info;
  info.width = width;
  info.height = std::abs(height);
  info.bottomUp = height > 0;
  info.bitCount = bitCount;
  info.headerBytes = headerBytes;
  info.colorTableBytes = colorsUsed * 4;
  info.stride = ((width * 3) + 3) & ~3;
  const auto rowsBytes = static_cast<std::uint32_t>(info.stride) * static_cast<std::uint32_t>(info.height);
  if (imageBytes != 0 && imageBytes != rowsBytes) return std::nullopt;
  info.imageBytes = rowsBytes;
  return info;
}
