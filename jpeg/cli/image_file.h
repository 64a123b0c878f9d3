// Reading the command-line encoder's input pictures: binary PPM (P6) and
// uncompressed 24-bit BMP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jpeg_cli {

struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> bgr;  // top row first, 3 bytes a pixel, no padding
};

// Parses a whole file's bytes. Empty error on success.
bool ParsePpm(const std::vector<std::uint8_t>& file, Picture& out, std::string& error);
bool ParseBmp(const std::vector<std::uint8_t>& file, Picture& out, std::string& error);

// Reads a file and picks the parser by its first bytes ("P6" or "BM").
bool ReadPicture(const std::string& path, Picture& out, std::string& error);

}  // namespace jpeg_cli
