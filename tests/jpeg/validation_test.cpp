// What JpegWrite refuses, with which code, and that a refusal touches no file.
#include <gtest/gtest.h>

#include <filesystem>

#include "jpeg_test_support.h"

namespace jpeg_test {
namespace {

class Validation : public StillRecordTest {
 protected:
  Validation() : StillRecordTest(NaturalPicture(40, 24)) {}

  std::int32_t Write(std::int32_t mode = WholeImageToFile) { return JpegWrite(&p_, mode); }
};

TEST_F(Validation, DecodingAndUnknownModesAreRefusedBeforeAnyFileExists) {
  for (std::int32_t mode : {-1, 0, 7, 14, 21, 22, 1000}) {
    EXPECT_EQ(Write(mode), -8) << "mode " << mode;
    EXPECT_FALSE(std::filesystem::exists(name_)) << "mode " << mode;
  }
}

TEST_F(Validation, NullFileNameCreatesNothing) {
  p_.jpeg_file_name = nullptr;
  EXPECT_EQ(Write(), -8);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(Validation, BitmapDescriptionLimits) {
  struct Case {
    const char* what;
    void (*change)(JPEG_PROPERTIES&);
  };
  const Case cases[] = {
      {"null pixels", [](JPEG_PROPERTIES& p) { p.dib_pixels = nullptr; }},
      {"width 0", [](JPEG_PROPERTIES& p) { p.dib_width = 0; }},
      {"width 65536", [](JPEG_PROPERTIES& p) { p.dib_width = 65536; }},
      {"height 65536", [](JPEG_PROPERTIES& p) { p.dib_height = 65536; }},
      {"height -65536", [](JPEG_PROPERTIES& p) { p.dib_height = -65536; }},
      {"negative pad", [](JPEG_PROPERTIES& p) { p.dib_pad = -1; }},
      {"0 channels", [](JPEG_PROPERTIES& p) { p.dib_channels = 0; }},
      {"256 channels", [](JPEG_PROPERTIES& p) { p.dib_channels = 256; }},
      {"jpeg channels 0", [](JPEG_PROPERTIES& p) { p.jpeg_channels = 0; }},
      {"jpeg channels 257", [](JPEG_PROPERTIES& p) { p.jpeg_channels = 257; }},
      {"jpeg width 0", [](JPEG_PROPERTIES& p) { p.jpeg_width = 0; }},
      {"jpeg height 0", [](JPEG_PROPERTIES& p) { p.jpeg_height = 0; }},
      {"jpeg height 65536", [](JPEG_PROPERTIES& p) { p.jpeg_height = 65536; }},
      {"BGR to 255", [](JPEG_PROPERTIES& p) { p.jpeg_color = JpegColorOther; }},
      {"BGR with 4 channels", [](JPEG_PROPERTIES& p) { p.dib_channels = 4; }},
      {"YCbCr source to RGB",
       [](JPEG_PROPERTIES& p) {
         p.dib_color = 3;
         p.jpeg_color = 1;
       }},
      {"jpeg wider than the bitmap", [](JPEG_PROPERTIES& p) { p.jpeg_width = p.dib_width + 1; }},
      {"jpeg taller than the bitmap", [](JPEG_PROPERTIES& p) { p.jpeg_height = p.dib_height + 1; }},
      {"zero-height bitmap", [](JPEG_PROPERTIES& p) { p.dib_height = 0; }},
  };
  for (const Case& c : cases) {
    FillLikeStillCapture(p_, pic_);
    c.change(p_);
    EXPECT_EQ(Write(), -8) << c.what;
  }
  EXPECT_FALSE(std::filesystem::exists(name_));
}

TEST_F(Validation, SamplingAgainstComponentsGivesMinus3) {
  p_.jpeg_subsampling = 3;  // needs four components
  EXPECT_EQ(Write(), -3);
  FillLikeStillCapture(p_, pic_);
  p_.dib_color = JpegColorGrey;
  p_.dib_channels = 1;
  p_.jpeg_color = JpegColorGrey;
  p_.jpeg_channels = 1;
  p_.jpeg_subsampling = 1;  // one component allows only code 0
  EXPECT_EQ(Write(), -3);
  FillLikeStillCapture(p_, pic_);
  p_.dib_subsampling = 2;  // packed 4:2:2 is only for YCbCr sources
  EXPECT_EQ(Write(), -3);
  FillLikeStillCapture(p_, pic_);
  p_.jpeg_subsampling = 5;
  EXPECT_EQ(Write(), -3);
}

TEST_F(Validation, FirstFailingCheckDecides) {
  // A bad bitmap outranks a missing file name, which outranks bad sampling.
  p_.dib_width = 0;
  p_.jpeg_file_name = nullptr;
  p_.jpeg_subsampling = 3;
  EXPECT_EQ(Write(), -8);
  p_.dib_width = pic_.width;
  p_.dib_subsampling = 2;
  EXPECT_EQ(Write(), -3);  // the bitmap's sampling comes before the file name
  p_.dib_subsampling = 0;
  EXPECT_EQ(Write(), -8);  // now the missing name
  p_.jpeg_file_name = name_.c_str();
  EXPECT_EQ(Write(), -3);          // and last the sampling code
  p_.jpeg_color = JpegColorOther;  // the colour check comes after sampling
  EXPECT_EQ(Write(), -3);
}

TEST_F(Validation, BufferModesNeedABufferAndACapacity) {
  std::vector<std::uint8_t> buffer(100000);
  p_.jpeg_buffer = nullptr;
  p_.jpeg_size = static_cast<std::int32_t>(buffer.size());
  EXPECT_EQ(Write(WholeImageToBuffer), -8);
  p_.jpeg_buffer = buffer.data();
  p_.jpeg_size = 0;
  EXPECT_EQ(Write(WholeImageToBuffer), -8);
  p_.jpeg_size = -5;  // nonzero passes validation, then nothing fits
  EXPECT_EQ(Write(WholeImageToBuffer), -28);
  p_.jpeg_size = static_cast<std::int32_t>(buffer.size());
  EXPECT_EQ(Write(WholeImageToBuffer), 0);
}

TEST_F(Validation, AcceptedButUnbuiltCombinationsAreNotSupported) {
  // BGR to RGB passes validation (unlike BGR to 255) but has no encoder here.
  p_.jpeg_color = JpegColorRgb;
  EXPECT_EQ(Write(), -12);
  FillLikeStillCapture(p_, pic_);
  p_.jpeg_subsampling = 0;
  EXPECT_EQ(Write(), -12);
  FillLikeStillCapture(p_, pic_);
  p_.jpeg_color = JpegColorGrey;
  p_.jpeg_channels = 1;
  p_.jpeg_subsampling = 0;
  EXPECT_EQ(Write(), -12);
  FillLikeStillCapture(p_, pic_);
  p_.state.dct_method = 0;
  EXPECT_EQ(Write(), -12);
  p_.state.dct_method = 2;
  EXPECT_EQ(Write(), -8);
  p_.state.dct_method = 1;
  EXPECT_FALSE(std::filesystem::exists(name_));
  EXPECT_EQ(Write(), 0);
}

TEST_F(Validation, ExtremeAcceptedSizesEncode) {
  // -65535 rows is a legal bottom-up bitmap, 65535 columns a legal width.
  const Picture column = NaturalPicture(1, 65535);
  FillLikeStillCapture(p_, column);
  p_.dib_height = -65535;
  EXPECT_EQ(Write(), 0);
  const Picture row = NaturalPicture(65535, 1);
  FillLikeStillCapture(p_, row);
  p_.dib_pad = 1000000;  // never read past the last row's pixels
  EXPECT_EQ(Write(), 0);
  // Common decoders stop short of 65535 columns: check the frame header instead.
  const auto file = ReadFileBytes(name_);
  const std::size_t sof = FindMarker(file, 0xC0);
  ASSERT_NE(sof, std::string::npos);
  EXPECT_EQ(file[sof + 5], 0x00);
  EXPECT_EQ(file[sof + 6], 0x01);  // height 1
  EXPECT_EQ(file[sof + 7], 0xFF);
  EXPECT_EQ(file[sof + 8], 0xFF);  // width 65535
  EXPECT_EQ(static_cast<std::size_t>(p_.jpeg_size), file.size());
}

TEST_F(Validation, WorkingCopyIsCheckedWhenCopyInIsSkipped) {
  ASSERT_EQ(Write(), 0);  // leaves a valid working copy
  p_.skip_copy_in = 1;
  p_.dib_width = 0;  // public fields are ignored now
  EXPECT_EQ(Write(), 0);
  p_.state.image.jpeg_width = 1000;  // a corrupted working copy is refused
  EXPECT_EQ(Write(), -8);
}

TEST_F(Validation, WriteWithoutInitIsRefused) {
  JPEG_PROPERTIES fresh{};
  EXPECT_EQ(JpegWrite(&fresh, WholeImageToFile), -8);
  EXPECT_EQ(JpegWrite(nullptr, WholeImageToFile), -8);
}

}  // namespace
}  // namespace jpeg_test
