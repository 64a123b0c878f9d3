// Shared helpers of the encoder's tests: pictures, encoding through the
// public calls, decoding with an independent decoder, and picture metrics.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "jpeg/cli/image_file.h"
#include "jpeg/jpeg.h"

namespace jpeg_test {

using jpeg_cli::Picture;

// A fresh folder under the system's temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Picture FlatPicture(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r);
// Smooth shapes with some texture, deterministic for a seed: stands in for a camera picture.
Picture NaturalPicture(int width, int height, std::uint32_t seed = 1);
// Every pixel independent: the worst case for the entropy coder.
Picture NoisePicture(int width, int height, std::uint32_t seed = 1);

// A record filled the way the still capture fills it, over top-down rows
// without padding. The caller keeps pic alive and calls JpegFree.
void FillLikeStillCapture(JPEG_PROPERTIES& p, const Picture& pic, std::int32_t quality = 75);

// Whole-image encode into memory (mode 9); empty on failure, rc set.
std::vector<std::uint8_t> EncodeToMemory(const Picture& pic, std::int32_t quality, std::int32_t* rc = nullptr);
// Whole-image encode of a filled record into a buffer of `capacity` bytes,
// cut to what was written; empty on failure, rc set.
std::vector<std::uint8_t> WriteToBuffer(JPEG_PROPERTIES& p, std::size_t capacity, std::int32_t* rc = nullptr);
// Whole-image encode of rows in any layout the record can describe.
std::vector<std::uint8_t> EncodeRows(const std::uint8_t* pixels, int width, int height, int pad, std::int32_t quality,
                                     std::int32_t* rc = nullptr);

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// Decodes with djpeg; false (with a message) if the decoder rejects the file.
bool DecodeJpeg(const std::filesystem::path& jpeg, Picture& out, std::string& error);
bool DecodeJpegBytes(const std::vector<std::uint8_t>& jpeg, Picture& out, std::string& error);

double Psnr(const Picture& a, const Picture& b);
int MaxAbsDifference(const Picture& a, const Picture& b);

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes);

// Position of the first marker FF code at or after from; npos when absent.
std::size_t FindMarker(const std::vector<std::uint8_t>& bytes, std::uint8_t code, std::size_t from = 0);

// The entropy-coded bytes between the SOS segment and EOI.
std::vector<std::uint8_t> ScanData(const std::vector<std::uint8_t>& jpeg);

// Sets TAVROCAM_JPEG_CONFIG to a file holding the given text for its lifetime.
class ScopedOverrideFile {
 public:
  explicit ScopedOverrideFile(const std::string& contents);
  ~ScopedOverrideFile();
  ScopedOverrideFile(const ScopedOverrideFile&) = delete;
  ScopedOverrideFile& operator=(const ScopedOverrideFile&) = delete;

 private:
  TempDir dir_;
  bool had_old_ = false;
  std::string old_;
};

// A record over a still-capture picture writing "out.jpg" in a fresh folder,
// initialised before and freed after each test.
class StillRecordTest : public ::testing::Test {
 protected:
  explicit StillRecordTest(Picture picture) : pic_(std::move(picture)) {}
  void SetUp() override {
    ASSERT_EQ(JpegInit(&p_), 0);
    FillLikeStillCapture(p_, pic_);
    p_.jpeg_file_name = name_.c_str();
  }
  void TearDown() override { EXPECT_EQ(JpegFree(&p_), 0); }

  TempDir dir_;
  std::string name_ = (dir_ / "out.jpg").string();
  Picture pic_;
  JPEG_PROPERTIES p_;
};

}  // namespace jpeg_test
