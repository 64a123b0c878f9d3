// tavrocam-jpeg IN OUT.jpg [--quality Q] [--bottom-up] [--pad N] [--buffer]
// tavrocam-jpeg --cpu-info
//
// Encodes a binary PPM or 24-bit BMP the way a still capture does: BGR rows,
// YCbCr 4:2:0, quality 75 unless told otherwise.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "jpeg/bgr_picture.h"
#include "jpeg/cli/cpu_info.h"
#include "jpeg/cli/image_file.h"
#include "jpeg/jpeg.h"

namespace {

struct Options {
  std::string in;
  std::string out;
  std::int32_t quality = 75;
  bool bottom_up = false;
  std::int32_t pad = 0;
  bool buffer = false;
};

bool ParseInt(const char* text, std::int32_t& value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

bool ParseArgs(int argc, char** argv, Options& o) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quality" || arg == "--pad") {
      if (i + 1 >= argc) return false;
      std::int32_t& target = arg == "--quality" ? o.quality : o.pad;
      if (!ParseInt(argv[++i], target)) return false;
    } else if (arg == "--bottom-up") {
      o.bottom_up = true;
    } else if (arg == "--buffer") {
      o.buffer = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return false;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2 || o.pad < 0 || o.pad > 1 << 20) return false;
  o.in = positional[0];
  o.out = positional[1];
  return true;
}

// The picture's rows in the layout asked for: padded, and bottom-up if told.
std::vector<std::uint8_t> LayOut(const jpeg_cli::Picture& pic, const Options& o) {
  const std::size_t row = static_cast<std::size_t>(pic.width) * 3;
  const std::size_t stride = row + static_cast<std::size_t>(o.pad);
  // Padding bytes carry a pattern so that reading them would show.
  std::vector<std::uint8_t> bitmap(stride * static_cast<std::size_t>(pic.height), 0xA5);
  for (std::int32_t y = 0; y < pic.height; ++y) {
    const std::int32_t stored = o.bottom_up ? pic.height - 1 - y : y;
    std::memcpy(bitmap.data() + static_cast<std::size_t>(stored) * stride,
                pic.bgr.data() + static_cast<std::size_t>(y) * row, row);
  }
  return bitmap;
}

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, f) == size;
  const bool closed = std::fclose(f) == 0;
  return written && closed;
}

int Fail(std::int32_t rc) {
  std::fprintf(stderr, "tavrocam-jpeg: %s (%d)\n", JpegErrorText(rc), static_cast<int>(rc));
  return 1;
}

// One record per attempt; JpegFree on every path once JpegInit succeeded.
std::int32_t Encode(const jpeg_cli::Picture& pic, const std::vector<std::uint8_t>& bitmap, const Options& o,
                    std::vector<std::uint8_t>* buffer, std::int32_t& size) {
  JPEG_PROPERTIES p;
  std::int32_t rc = JpegInit(&p);
  if (rc != 0) return rc;
  DescribeBgrPicture(
      p, {.pixels = bitmap.data(), .width = pic.width, .height = pic.height, .rowPad = o.pad, .bottomUp = o.bottom_up},
      o.quality);
  if (buffer != nullptr) {
    p.jpeg_buffer = buffer->data();
    p.jpeg_size = static_cast<std::int32_t>(buffer->size());
    rc = JpegWrite(&p, WholeImageToBuffer);
  } else {
    p.jpeg_file_name = o.out.c_str();
    rc = JpegWrite(&p, WholeImageToFile);
  }
  size = p.jpeg_size;
  const std::int32_t freed = JpegFree(&p);
  return rc != 0 ? rc : freed;
}

}  // namespace

static int Run(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--cpu-info") return jpeg_cli::PrintCpuInfo();
  Options o;
  if (!ParseArgs(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: tavrocam-jpeg IN OUT.jpg [--quality Q] [--bottom-up] [--pad N] [--buffer]\n"
                 "       tavrocam-jpeg --cpu-info\n");
    return 2;
  }
  jpeg_cli::Picture pic;
  std::string error;
  if (!jpeg_cli::ReadPicture(o.in, pic, error)) {
    std::fprintf(stderr, "tavrocam-jpeg: %s\n", error.c_str());
    return 3;
  }
  const std::vector<std::uint8_t> bitmap = LayOut(pic, o);
  std::int32_t size = 0;
  if (!o.buffer) {
    const std::int32_t rc = Encode(pic, bitmap, o, nullptr, size);
    return rc == 0 ? 0 : Fail(rc);
  }
  // Grow the buffer until the stream fits; it needs one spare byte.
  std::size_t capacity = bitmap.size() / 4 + 4096;
  for (;;) {
    std::vector<std::uint8_t> buffer(capacity);
    const std::int32_t rc = Encode(pic, bitmap, o, &buffer, size);
    if (rc == 0) {
      if (!WriteFile(o.out, buffer.data(), static_cast<std::size_t>(size))) {
        std::fprintf(stderr, "tavrocam-jpeg: cannot write %s\n", o.out.c_str());
        return 1;
      }
      return 0;
    }
    if (rc != JpegErrBufferTooSmall || capacity >= static_cast<std::size_t>(INT32_MAX)) return Fail(rc);
    capacity = std::min<std::size_t>(capacity * 2, INT32_MAX);
  }
}

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tavrocam-jpeg: not enough memory for this picture\n");
    return 1;
  }
}
