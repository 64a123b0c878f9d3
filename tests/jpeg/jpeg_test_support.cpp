#include "jpeg_test_support.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "jpeg/bgr_picture.h"
#include "tests/support/peak_signal_to_noise.h"

namespace jpeg_test {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "tavrocam-jpeg-XXXXXX").string();
  if (::mkdtemp(templ.data()) == nullptr) std::abort();
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {

Picture BlankPicture(int width, int height) {
  Picture pic;
  pic.width = width;
  pic.height = height;
  pic.bgr.resize(static_cast<std::size_t>(width) * height * 3);
  return pic;
}

}  // namespace

Picture FlatPicture(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  Picture pic = BlankPicture(width, height);
  for (std::size_t i = 0; i < pic.bgr.size(); i += 3) {
    pic.bgr[i] = b;
    pic.bgr[i + 1] = g;
    pic.bgr[i + 2] = r;
  }
  return pic;
}

Picture NaturalPicture(int width, int height, std::uint32_t seed) {
  Picture pic = BlankPicture(width, height);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const double cx = unit(rng) * width;
  const double cy = unit(rng) * height;
  const double phase = unit(rng) * 6.28;
  std::size_t i = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double d = std::hypot(x - cx, y - cy);
      const double base = 128 + 90 * std::sin(d / 9.0 + phase);
      const double stripes = 40 * std::sin(x / 5.0) * std::cos(y / 7.0);
      const double grain = (unit(rng) - 0.5) * 12;
      const bool inside = x > width / 4 && x < width / 2 && y > height / 3 && y < 2 * height / 3;
      const double v[3] = {base + stripes + grain, 255.0 * x / std::max(1, width - 1) + grain,
                           inside ? 230 + grain : 255.0 * y / std::max(1, height - 1) - stripes};
      for (double c : v) pic.bgr[i++] = static_cast<std::uint8_t>(std::clamp(c, 0.0, 255.0));
    }
  }
  return pic;
}

Picture NoisePicture(int width, int height, std::uint32_t seed) {
  Picture pic = BlankPicture(width, height);
  std::mt19937 rng(seed);
  for (auto& v : pic.bgr) v = static_cast<std::uint8_t>(rng());
  return pic;
}

void FillLikeStillCapture(JPEG_PROPERTIES& p, const Picture& pic, std::int32_t quality) {
  DescribeBgrPicture(p, {.pixels = pic.bgr.data(), .width = pic.width, .height = pic.height}, quality);
}

std::vector<std::uint8_t> WriteToBuffer(JPEG_PROPERTIES& p, std::size_t capacity, std::int32_t* rc) {
  std::vector<std::uint8_t> out(capacity);
  p.jpeg_buffer = out.data();
  p.jpeg_size = static_cast<std::int32_t>(out.size());
  const std::int32_t result = JpegWrite(&p, WholeImageToBuffer);
  out.resize(result == 0 ? static_cast<std::size_t>(p.jpeg_size) : 0);
  if (rc != nullptr) *rc = result;
  return out;
}

std::vector<std::uint8_t> EncodeRows(const std::uint8_t* pixels, int width, int height, int pad, std::int32_t quality,
                                     std::int32_t* rc) {
  JPEG_PROPERTIES p;
  std::int32_t result = JpegInit(&p);
  std::vector<std::uint8_t> out;
  if (result == 0) {
    p.dib_pixels = pixels;
    p.dib_width = width;
    p.dib_height = height;
    p.dib_pad = pad;
    p.jpeg_width = width;
    p.jpeg_height = std::abs(height);
    p.jpeg_quality = quality;
    // Big enough for any picture these tests make (noise at quality 100 included).
    out = WriteToBuffer(p, static_cast<std::size_t>(width) * std::abs(height) * 8 + 4096, &result);
    JpegFree(&p);
  }
  if (rc != nullptr) *rc = result;
  return out;
}

std::vector<std::uint8_t> EncodeToMemory(const Picture& pic, std::int32_t quality, std::int32_t* rc) {
  return EncodeRows(pic.bgr.data(), pic.width, pic.height, 0, quality, rc);
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool DecodeJpeg(const std::filesystem::path& jpeg, Picture& out, std::string& error) {
  const std::filesystem::path ppm = jpeg.string() + ".decoded.ppm";
  const std::filesystem::path log = jpeg.string() + ".djpeg.log";
  const std::string command =
      "djpeg -ppm -outfile '" + ppm.string() + "' '" + jpeg.string() + "' 2>'" + log.string() + "'";
  const int status = std::system(command.c_str());
  const std::vector<std::uint8_t> messages = ReadFileBytes(log);
  if (status != 0 || !messages.empty()) {
    error = "djpeg: " + std::string(messages.begin(), messages.end());
    return false;
  }
  return jpeg_cli::ParsePpm(ReadFileBytes(ppm), out, error);
}

bool DecodeJpegBytes(const std::vector<std::uint8_t>& jpeg, Picture& out, std::string& error) {
  TempDir dir;
  WriteFileBytes(dir / "in.jpg", jpeg);
  return DecodeJpeg(dir / "in.jpg", out, error);
}

double Psnr(const Picture& a, const Picture& b) { return test_support::PeakSignalToNoise(a.bgr, b.bgr); }

int MaxAbsDifference(const Picture& a, const Picture& b) {
  if (a.bgr.size() != b.bgr.size()) return 256;
  int worst = 0;
  for (std::size_t i = 0; i < a.bgr.size(); ++i) worst = std::max(worst, std::abs(a.bgr[i] - b.bgr[i]));
  return worst;
}

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

std::size_t FindMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t code, std::size_t from) {
  for (std::size_t i = from; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == code) return i;
  }
  return std::string::npos;
}

std::vector<std::uint8_t> ScanData(const std::vector<std::uint8_t>& jpeg) {
  const std::size_t sos = FindMarker(jpeg, 0xDA);
  if (sos == std::string::npos || jpeg.size() < 4) return {};
  const std::size_t start = sos + 2 + (static_cast<std::size_t>(jpeg[sos + 2]) << 8 | jpeg[sos + 3]);
  const std::size_t end = jpeg.size() - 2;  // EOI
  if (start > end) return {};
  return {jpeg.begin() + static_cast<std::ptrdiff_t>(start), jpeg.begin() + static_cast<std::ptrdiff_t>(end)};
}

ScopedOverrideFile::ScopedOverrideFile(const std::string& contents) {
  if (const char* old = std::getenv("TAVROCAM_JPEG_CONFIG")) {
    had_old_ = true;
    old_ = old;
  }
  const std::filesystem::path file = dir_ / "jpeg.conf";
  std::ofstream(file) << contents;
  ::setenv("TAVROCAM_JPEG_CONFIG", file.c_str(), 1);
}

ScopedOverrideFile::~ScopedOverrideFile() {
  if (had_old_) {
    ::setenv("TAVROCAM_JPEG_CONFIG", old_.c_str(), 1);
  } else {
    ::unsetenv("TAVROCAM_JPEG_CONFIG");
  }
}

}  // namespace jpeg_test
