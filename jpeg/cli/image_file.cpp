#include "jpeg/cli/image_file.h"

#include <cctype>
#include <fstream>
#include <iterator>

namespace jpeg_cli {

namespace {

constexpr std::int64_t kMaxSide = 65535;

// PPM header tokens: whitespace and '#' comments between them.
bool NextNumber(const std::vector<std::uint8_t>& f, std::size_t& pos, std::int64_t& value) {
  while (pos < f.size()) {
    if (f[pos] == '#') {
      while (pos < f.size() && f[pos] != '\n') ++pos;
    } else if (std::isspace(f[pos]) != 0) {
      ++pos;
    } else {
      break;
    }
  }
  if (pos >= f.size() || std::isdigit(f[pos]) == 0) return false;
  value = 0;
  while (pos < f.size() && std::isdigit(f[pos]) != 0) {
    value = value * 10 + (f[pos] - '0');
    if (value > 1000000) return false;
    ++pos;
  }
  return true;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& f, std::size_t at) {
  return static_cast<std::uint32_t>(f[at]) | static_cast<std::uint32_t>(f[at + 1]) << 8 |
         static_cast<std::uint32_t>(f[at + 2]) << 16 | static_cast<std::uint32_t>(f[at + 3]) << 24;
}

std::uint16_t Le16(const std::vector<std::uint8_t>& f, std::size_t at) {
  return static_cast<std::uint16_t>(f[at] | f[at + 1] << 8);
}

}  // namespace

bool ParsePpm(const std::vector<std::uint8_t>& f, Picture& out, std::string& error) {
  if (f.size() < 2 || f[0] != 'P' || f[1] != '6') {
    error = "not a binary PPM (P6) file";
    return false;
  }
  std::size_t pos = 2;
  std::int64_t width = 0;
  std::int64_t height = 0;
  std::int64_t maxval = 0;
  if (!NextNumber(f, pos, width) || !NextNumber(f, pos, height) || !NextNumber(f, pos, maxval)) {
    error = "malformed PPM header";
    return false;
  }
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
    error = "PPM size out of range";
    return false;
  }
  if (maxval != 255) {
    error = "only PPM files with 8-bit samples (maxval 255) are supported";
    return false;
  }
  if (pos >= f.size() || std::isspace(f[pos]) == 0) {
    error = "malformed PPM header";
    return false;
  }
  ++pos;
  const auto bytes = static_cast<std::size_t>(width * height * 3);
  if (f.size() - pos < bytes) {
    error = "PPM pixel data is truncated";
    return false;
  }
  out.width = static_cast<std::int32_t>(width);
  out.height = static_cast<std::int32_t>(height);
  out.bgr.resize(bytes);
  for (std::size_t i = 0; i < bytes; i += 3) {
    out.bgr[i] = f[pos + i + 2];
    out.bgr[i + 1] = f[pos + i + 1];
    out.bgr[i + 2] = f[pos + i];
  }
  return true;
}

bool ParseBmp(const std::vector<std::uint8_t>& f, Picture& out, std::string& error) {
  if (f.size() < 14 + 40 || f[0] != 'B' || f[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  const std::uint32_t pixel_offset = Le32(f, 10);
  const std::uint32_t header_size = Le32(f, 14);
  if (header_size < 40 || header_size > f.size() - 14) {
    error = "unsupported BMP header";
    return false;
  }
  const auto width = static_cast<std::int32_t>(Le32(f, 18));
  const auto raw_height = static_cast<std::int32_t>(Le32(f, 22));
  const std::uint16_t bits = Le16(f, 28);
  const std::uint32_t compression = Le32(f, 30);
  if (bits != 24 || compression != 0) {
    error = "only uncompressed 24-bit BMP files are supported";
    return false;
  }
  const bool top_down = raw_height < 0;
  const std::int64_t height = top_down ? -static_cast<std::int64_t>(raw_height) : raw_height;
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) {
    error = "BMP size out of range";
    return false;
  }
  const std::int64_t row_bytes = static_cast<std::int64_t>(width) * 3;
  const std::int64_t stride = (row_bytes + 3) / 4 * 4;
  // The last row need not carry its padding.
  const std::int64_t needed = static_cast<std::int64_t>(pixel_offset) + stride * (height - 1) + row_bytes;
  if (pixel_offset < 14 + header_size || needed > static_cast<std::int64_t>(f.size())) {
    error = "BMP pixel data is truncated";
    return false;
  }
  out.width = width;
  out.height = static_cast<std::int32_t>(height);
  out.bgr.resize(static_cast<std::size_t>(row_bytes * height));
  for (std::int64_t row = 0; row < height; ++row) {
    const std::int64_t stored = top_down ? row : height - 1 - row;
    const auto src = f.begin() + static_cast<std::ptrdiff_t>(pixel_offset + stored * stride);
    std::copy(src, src + row_bytes, out.bgr.begin() + static_cast<std::ptrdiff_t>(row * row_bytes));
  }
  return true;
}

bool ReadPicture(const std::string& path, Picture& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  if (file.size() >= 2 && file[0] == 'P' && file[1] == '6') return ParsePpm(file, out, error);
  if (file.size() >= 2 && file[0] == 'B' && file[1] == 'M') return ParseBmp(file, out, error);
  error = "unrecognised picture format (expected binary PPM or 24-bit BMP)";
  return false;
}

}  // namespace jpeg_cli
