// The file and buffer output of every encoding mode, the record's life cycle
// and the result texts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "jpeg_test_support.h"

namespace jpeg_test {
namespace {

class Output : public StillRecordTest {
 protected:
  Output() : StillRecordTest(NaturalPicture(53, 37)) {}

  std::vector<std::uint8_t> ToBuffer(std::int32_t mode, std::size_t capacity, std::int32_t& rc) {
    std::vector<std::uint8_t> buffer(capacity, 0xEE);
    p_.jpeg_buffer = buffer.data();
    p_.jpeg_size = static_cast<std::int32_t>(capacity);
    rc = JpegWrite(&p_, mode);
    return buffer;
  }
};

TEST_F(Output, FileHoldsExactlyTheReportedBytesAndDecodes) {
  ASSERT_EQ(JpegWrite(&p_, WholeImageToFile), 0);
  const auto file = ReadFileBytes(name_);
  EXPECT_EQ(static_cast<std::size_t>(p_.jpeg_size), file.size());
  EXPECT_EQ(file, EncodeToMemory(pic_, 75));
  Picture decoded;
  std::string error;
  ASSERT_TRUE(DecodeJpeg(name_, decoded, error)) << error;
  EXPECT_GT(Psnr(pic_, decoded), 30.0);
}

TEST_F(Output, ExistingFileIsReplacedNotAppended) {
  std::ofstream(name_) << std::string(200000, 'x');
  ASSERT_EQ(JpegWrite(&p_, WholeImageToFile), 0);
  EXPECT_EQ(std::filesystem::file_size(name_), static_cast<std::uintmax_t>(p_.jpeg_size));
  EXPECT_EQ(ReadFileBytes(name_)[0], 0xFF);
}

TEST_F(Output, LargeFilesCrossManyBufferFlushes) {
  const Picture noise = NoisePicture(200, 150);
  FillLikeStillCapture(p_, noise, 100);
  ASSERT_EQ(JpegWrite(&p_, WholeImageToFile), 0);
  const auto file = ReadFileBytes(name_);
  ASSERT_GT(file.size(), 10u * 4096u);
  EXPECT_EQ(file, EncodeToMemory(noise, 100));
}

TEST_F(Output, UncreatableFileGivesMinus10) {
  const std::string missing_folder = (dir_ / "no" / "such" / "x.jpg").string();
  p_.jpeg_file_name = missing_folder.c_str();
  EXPECT_EQ(JpegWrite(&p_, WholeImageToFile), -10);
  const std::string folder = dir_.path().string();
  p_.jpeg_file_name = folder.c_str();
  EXPECT_EQ(JpegWrite(&p_, WholeImageToFile), -10);
  p_.jpeg_file_name = "";
  EXPECT_EQ(JpegWrite(&p_, TablesToFile), -10);
}

TEST_F(Output, FullDiskGivesMinus23AndTheNextWriteStillWorks) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  p_.jpeg_file_name = "/dev/full";
  EXPECT_EQ(JpegWrite(&p_, WholeImageToFile), -23);
  EXPECT_EQ(JpegWrite(&p_, TablesToFile), -23);
  p_.jpeg_file_name = name_.c_str();
  ASSERT_EQ(JpegWrite(&p_, WholeImageToFile), 0);
  EXPECT_EQ(ReadFileBytes(name_), EncodeToMemory(pic_, 75));
}

TEST_F(Output, BufferNeedsOneByteOfSlack) {
  std::int32_t rc = 0;
  const auto roomy = ToBuffer(WholeImageToBuffer, 100000, rc);
  ASSERT_EQ(rc, 0);
  const auto size = static_cast<std::size_t>(p_.jpeg_size);
  const std::vector<std::uint8_t> stream(roomy.begin(), roomy.begin() + static_cast<std::ptrdiff_t>(size));
  EXPECT_EQ(roomy[size], 0xEE) << "wrote past the stream";

  ToBuffer(WholeImageToBuffer, size, rc);
  EXPECT_EQ(rc, -28);
  const auto tight = ToBuffer(WholeImageToBuffer, size + 1, rc);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(static_cast<std::size_t>(p_.jpeg_size), size);
  EXPECT_TRUE(std::equal(stream.begin(), stream.end(), tight.begin()));
  EXPECT_EQ(tight[size], 0xEE);

  // Every smaller buffer fails cleanly, wherever the stream runs out of room.
  for (std::size_t capacity :
       {std::size_t{1}, std::size_t{2}, std::size_t{20}, std::size_t{100}, std::size_t{700}, size / 2, size - 1}) {
    ToBuffer(WholeImageToBuffer, capacity, rc);
    EXPECT_EQ(rc, -28) << capacity;
  }
}

TEST_F(Output, TablesOnlyStreamHasNoFrame) {
  std::int32_t rc = 0;
  const auto buffer = ToBuffer(TablesToBuffer, 4096, rc);
  ASSERT_EQ(rc, 0);
  const std::vector<std::uint8_t> tables(buffer.begin(), buffer.begin() + p_.jpeg_size);
  // SOI, APP0 18, COM 48, two DQT of 69, DHT 420, EOI.
  EXPECT_EQ(tables.size(), 2u + 18 + 48 + 2 * 69 + 420 + 2);
  EXPECT_EQ(FindMarker(tables, 0xC0), std::string::npos);
  EXPECT_EQ(FindMarker(tables, 0xDA), std::string::npos);
  EXPECT_EQ(tables[tables.size() - 2], 0xFF);
  EXPECT_EQ(tables.back(), 0xD9);

  ASSERT_EQ(JpegWrite(&p_, TablesToFile), 0);
  EXPECT_EQ(ReadFileBytes(name_), tables);
  EXPECT_EQ(p_.jpeg_size, static_cast<std::int32_t>(tables.size()));
}

TEST_F(Output, ImageOnlyStreamPlusTablesDecodesLikeTheWholeStream) {
  std::int32_t rc = 0;
  const auto whole = EncodeToMemory(pic_, 75);
  const auto buffer = ToBuffer(ImageOnlyToBuffer, 100000, rc);
  ASSERT_EQ(rc, 0);
  const std::vector<std::uint8_t> image(buffer.begin(), buffer.begin() + p_.jpeg_size);
  EXPECT_EQ(FindMarker(image, 0xDB), std::string::npos);
  EXPECT_EQ(FindMarker(image, 0xC4), std::string::npos);
  EXPECT_EQ(FindMarker(image, 0xE0), std::string::npos);
  EXPECT_EQ(ScanData(image), ScanData(whole));
  ASSERT_EQ(JpegWrite(&p_, ImageOnlyToFile), 0);
  EXPECT_EQ(ReadFileBytes(name_), image);

  // The tables stream spliced in front of the abbreviated image's frame is the whole stream.
  const auto tables = ToBuffer(TablesToBuffer, 4096, rc);
  ASSERT_EQ(rc, 0);
  std::vector<std::uint8_t> joined(tables.begin(), tables.begin() + p_.jpeg_size - 2);
  joined.insert(joined.end(), image.begin() + 2, image.end());
  EXPECT_EQ(joined, whole);
}

TEST_F(Output, RepeatedWritesOnOneRecordAreIdentical) {
  ASSERT_EQ(JpegWrite(&p_, WholeImageToFile), 0);
  const auto first = ReadFileBytes(name_);
  p_.jpeg_quality = 30;
  ASSERT_EQ(JpegWrite(&p_, WholeImageToFile), 0);
  EXPECT_NE(ReadFileBytes(name_), first);
  p_.jpeg_quality = 75;
  ASSERT_EQ(JpegWrite(&p_, WholeImageToFile), 0);
  EXPECT_EQ(ReadFileBytes(name_), first);
}

TEST(Lifecycle, InitSetsTheDocumentedDefaults) {
  JPEG_PROPERTIES p;
  std::memset(&p, 0x5A, sizeof p);
  ASSERT_EQ(JpegInit(&p), 0);
  EXPECT_EQ(p.skip_copy_in, 0);
  EXPECT_EQ(p.dib_pixels, nullptr);
  EXPECT_EQ(p.dib_channels, 3);
  EXPECT_EQ(p.dib_color, 2);
  EXPECT_EQ(p.jpeg_file_name, nullptr);
  EXPECT_EQ(p.jpeg_buffer, nullptr);
  EXPECT_EQ(p.jpeg_channels, 3);
  EXPECT_EQ(p.jpeg_color, 3);
  EXPECT_EQ(p.jpeg_subsampling, 1);
  EXPECT_EQ(p.color_conversion, 1);
  EXPECT_EQ(p.upsampling, 1);
  EXPECT_EQ(p.jpeg_quality, 75);
  EXPECT_EQ(p.state.mode, -1);
  EXPECT_EQ(p.state.dct_method, 1);
  EXPECT_EQ(p.state.sink.fd, -1);
  EXPECT_EQ(JpegFree(&p), 0);
  EXPECT_EQ(p.state.kernels, nullptr);
  EXPECT_EQ(JpegFree(&p), 0);  // a second free finds nothing to release
}

TEST(Lifecycle, FreeRightAfterInitAndReinitAfterFree) {
  for (int round = 0; round < 3; ++round) {
    JPEG_PROPERTIES p;
    ASSERT_EQ(JpegInit(&p), 0);
    ASSERT_NE(p.state.kernels, nullptr);
    EXPECT_EQ(JpegFree(&p), 0);
    ASSERT_EQ(JpegInit(&p), 0);
    EXPECT_EQ(JpegFree(&p), 0);
  }
  EXPECT_EQ(JpegInit(nullptr), -8);
  EXPECT_EQ(JpegFree(nullptr), -8);
}

TEST(Lifecycle, FreeRefusesACorruptedRecordButStillReleasesTheKernelTable) {
  JPEG_PROPERTIES p;
  ASSERT_EQ(JpegInit(&p), 0);
  p.state.component_capacity = 256;
  EXPECT_EQ(JpegFree(&p), -8);
  // The table is gone (the leak checker of the sanitizer build sees it too),
  // and nothing is released twice.
  EXPECT_EQ(p.state.kernels, nullptr);
  EXPECT_EQ(JpegFree(&p), -8);
  p.state.component_capacity = 4;
  EXPECT_EQ(JpegFree(&p), 0);
  EXPECT_EQ(JpegWrite(&p, WholeImageToBuffer), -8);  // a released record writes nothing
}

TEST(Lifecycle, CloseFailureOfAFileLeftOpenIsReported) {
  JPEG_PROPERTIES p;
  ASSERT_EQ(JpegInit(&p), 0);
  // A descriptor that is not open makes the close fail.
  p.state.sink.fd = 1000000;
  EXPECT_EQ(JpegFree(&p), -9);
  EXPECT_EQ(p.state.sink.fd, -1);
  EXPECT_EQ(p.state.kernels, nullptr);
}

TEST(Lifecycle, SeparateRecordsEncodeConcurrently) {
  // Set-up and detection keep no module-wide state, so records on different
  // threads never meet.
  const Picture pic = NaturalPicture(64, 48, 6);
  const auto expected = EncodeToMemory(pic, 75);
  std::vector<std::uint8_t> results[4];
  {
    std::vector<std::jthread> workers;
    for (auto& result : results) {
      workers.emplace_back([&pic, &result] {
        for (int i = 0; i < 5; ++i) result = EncodeToMemory(pic, 75);
      });
    }
  }
  for (const auto& result : results) EXPECT_EQ(result, expected);
}

TEST(ErrorText, EveryCodeHasItsText) {
  const std::pair<std::int32_t, const char*> expected[] = {
      {2, "ROI Success"},         {1, "Interrupt Success"},         {0, "Success"},
      {-1, "Exception detected"}, {-3, "Unsupported subsampling"},  {-5, "Memory error"},
      {-6, "Bad Huffman table"},  {-8, "Invalid JPEG_PROPERTIES"},  {-9, "Error close file"},
      {-10, "Invalid file name"}, {-12, "Not supported"},           {-14, "Error COMP"},
      {-17, "No Huffman table"},  {-18, "No Quantization table"},   {-20, "Multiply frame"},
      {-23, "File error"},        {-28, "Output buffer too small"}, {-30, "Error access to jpeg_comment buffer"},
      {-99, "Reserved"},
  };
  for (const auto& [code, text] : expected) EXPECT_STREQ(JpegErrorText(code), text) << code;
  for (std::int32_t unknown : {3, -31, -98, -100, 1000}) EXPECT_STREQ(JpegErrorText(unknown), "Unknown error code");
  for (std::int32_t code = -30; code <= 2; ++code) EXPECT_STRNE(JpegErrorText(code), "Unknown error code") << code;
}

}  // namespace
}  // namespace jpeg_test
