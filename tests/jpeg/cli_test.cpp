// The command-line encoder end to end: picture files in, JPEG files out.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "jpeg_test_support.h"

namespace jpeg_test {
namespace {

int RunTool(const std::string& args, const TempDir& dir) {
  const std::string command =
      std::string("'") + TAVROCAM_JPEG_TOOL + "' " + args + " 2>'" + (dir / "stderr.txt").string() + "'";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Appended piecewise: GCC 12 warns falsely about "'" + string + "'" at -O2.
std::string Quote(const std::filesystem::path& p) {
  std::string quoted = "'";
  quoted += p.string();
  quoted += '\'';
  return quoted;
}

void WritePpm(const std::filesystem::path& path, const Picture& pic) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n# test picture\n" << pic.width << " " << pic.height << "\n255\n";
  for (std::size_t i = 0; i < pic.bgr.size(); i += 3) {
    out.put(static_cast<char>(pic.bgr[i + 2]))
        .put(static_cast<char>(pic.bgr[i + 1]))
        .put(static_cast<char>(pic.bgr[i]));
  }
}

void WriteBmp(const std::filesystem::path& path, const Picture& pic, bool top_down) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(pic.width) * 3 + 3) / 4 * 4;
  const std::uint32_t image = stride * static_cast<std::uint32_t>(pic.height);
  std::vector<std::uint8_t> f(54 + image, 0);
  auto le32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  f[0] = 'B';
  f[1] = 'M';
  le32(2, static_cast<std::uint32_t>(f.size()));
  le32(10, 54);
  le32(14, 40);
  le32(18, static_cast<std::uint32_t>(pic.width));
  le32(22, static_cast<std::uint32_t>(top_down ? -pic.height : pic.height));
  f[26] = 1;
  f[28] = 24;
  for (int y = 0; y < pic.height; ++y) {
    const int stored = top_down ? y : pic.height - 1 - y;
    std::memcpy(&f[54 + static_cast<std::size_t>(stored) * stride],
                &pic.bgr[static_cast<std::size_t>(y) * pic.width * 3], static_cast<std::size_t>(pic.width) * 3);
  }
  WriteFileBytes(path, f);
}

TEST(Cli, EveryInputAndOutputPathGivesTheSameStream) {
  TempDir dir;
  const Picture pic = NaturalPicture(57, 43, 12);
  WritePpm(dir / "in.ppm", pic);
  WriteBmp(dir / "in.bmp", pic, false);
  WriteBmp(dir / "top.bmp", pic, true);
  const auto expected = EncodeToMemory(pic, 75);
  const std::pair<std::string, std::string> runs[] = {
      {"in.ppm", ""},
      {"in.bmp", ""},
      {"top.bmp", ""},
      {"in.ppm", "--buffer"},
      {"in.ppm", "--bottom-up"},
      {"in.bmp", "--pad 3 --bottom-up --buffer"},
      {"in.ppm", "--pad 1"},
  };
  for (const auto& [input, flags] : runs) {
    ASSERT_EQ(RunTool(Quote(dir / input) + " " + Quote(dir / "out.jpg") + " " + flags, dir), 0) << input << flags;
    EXPECT_EQ(ReadFileBytes(dir / "out.jpg"), expected) << input << " " << flags;
  }
  ASSERT_EQ(RunTool(Quote(dir / "in.ppm") + " " + Quote(dir / "q.jpg") + " --quality 30", dir), 0);
  EXPECT_EQ(ReadFileBytes(dir / "q.jpg"), EncodeToMemory(pic, 30));
  Picture decoded;
  std::string error;
  ASSERT_TRUE(DecodeJpeg(dir / "out.jpg", decoded, error)) << error;
  EXPECT_GT(Psnr(pic, decoded), 30.0);
}

TEST(Cli, FailuresExitNonZeroWithAMessage) {
  TempDir dir;
  WritePpm(dir / "in.ppm", NaturalPicture(8, 8));
  EXPECT_EQ(RunTool("", dir), 2);
  EXPECT_EQ(RunTool(Quote(dir / "in.ppm") + " " + Quote(dir / "o.jpg") + " --quality", dir), 2);
  EXPECT_EQ(RunTool(Quote(dir / "in.ppm") + " " + Quote(dir / "o.jpg") + " --pad -1", dir), 2);
  EXPECT_EQ(RunTool(Quote(dir / "missing.ppm") + " " + Quote(dir / "o.jpg"), dir), 3);

  WriteFileBytes(dir / "short.ppm", {'P', '6', ' ', '4', ' ', '4', ' ', '2', '5', '5', '\n', 1, 2, 3});
  EXPECT_EQ(RunTool(Quote(dir / "short.ppm") + " " + Quote(dir / "o.jpg"), dir), 3);
  WriteFileBytes(dir / "bad.bmp", {'B', 'M', 0, 0});
  EXPECT_EQ(RunTool(Quote(dir / "bad.bmp") + " " + Quote(dir / "o.jpg"), dir), 3);
  WriteFileBytes(dir / "text.txt", {'h', 'i'});
  EXPECT_EQ(RunTool(Quote(dir / "text.txt") + " " + Quote(dir / "o.jpg"), dir), 3);
  EXPECT_FALSE(std::filesystem::exists(dir / "o.jpg"));

  // The encoder's own refusal is reported with its text.
  EXPECT_EQ(RunTool(Quote(dir / "in.ppm") + " " + Quote(dir / "no" / "such" / "o.jpg"), dir), 1);
  const auto message = ReadFileBytes(dir / "stderr.txt");
  EXPECT_NE(std::string(message.begin(), message.end()).find("Invalid file name"), std::string::npos);
}

TEST(PictureFiles, TruncatedAndOversizedHeadersAreRefused) {
  Picture pic;
  std::string error;
  const std::vector<std::vector<std::uint8_t>> bad_ppm = {
      {'P', '6'},
      {'P', '6', '\n', '0', ' ', '1', ' ', '2', '5', '5', '\n'},
      {'P', '6', '\n', '9', '9', '9', '9', '9', '9', ' ', '1', ' ', '2', '5', '5', '\n'},
      {'P', '6', '\n', '1', ' ', '1', ' ', '6', '5', '5', '3', '5', '\n', 0, 0, 0, 0, 0, 0},
      {'P', '6', '\n', '1', ' ', '1', ' ', '2', '5', '5', '\n', 0, 0},
  };
  for (const auto& f : bad_ppm) EXPECT_FALSE(jpeg_cli::ParsePpm(f, pic, error));

  TempDir dir;
  WriteBmp(dir / "ok.bmp", NaturalPicture(5, 3), false);
  const auto ok = ReadFileBytes(dir / "ok.bmp");
  ASSERT_TRUE(jpeg_cli::ParseBmp(ok, pic, error)) << error;
  auto truncated = ok;
  truncated.resize(truncated.size() - 4);
  EXPECT_FALSE(jpeg_cli::ParseBmp(truncated, pic, error));
  auto eight_bit = ok;
  eight_bit[28] = 8;
  EXPECT_FALSE(jpeg_cli::ParseBmp(eight_bit, pic, error));
  auto huge = ok;
  huge[21] = 0x7F;  // width 2^31 - ...
  EXPECT_FALSE(jpeg_cli::ParseBmp(huge, pic, error));
  auto bad_offset = ok;
  bad_offset[10] = 0xF0;
  bad_offset[11] = 0xFF;
  EXPECT_FALSE(jpeg_cli::ParseBmp(bad_offset, pic, error));
}

}  // namespace
}  // namespace jpeg_test

namespace jpeg_test {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Cli, CpuInfoNamesTheForcedClassAndItsKernels) {
  TempDir dir;
  for (const char* cls : {"1", "5"}) {
    const auto conf = dir / (std::string("usecpu-") + cls + ".conf");
    std::ofstream(conf) << "USECPU=" << cls << "\n";
    const auto report = dir / "report.txt";
    const std::string command =
        "TAVROCAM_JPEG_CONFIG=" + Quote(conf) + " " + Quote(TAVROCAM_JPEG_TOOL) + " --cpu-info >" + Quote(report);
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string text = ReadText(report);
    EXPECT_NE(text.find(std::string("class        ") + cls + " (forced"), std::string::npos) << text;
    if (std::string(cls) == "1") {
      EXPECT_NE(text.find("transform plain, quantiser plain, extraction plain, Huffman coder plain"), std::string::npos)
          << text;
    } else {
#ifdef TAVROCAM_JPEG_X86_KERNELS
      EXPECT_EQ(text.find("transform plain"), std::string::npos) << text;  // a vector set on any x86-64
#else
      EXPECT_NE(text.find("transform plain"), std::string::npos) << text;  // built without vector sets
#endif
    }
  }
}

TEST(Cli, CpuInfoNamesTheVectorSetCap) {
  TempDir dir;
  const auto conf = dir / "capped.conf";
  std::ofstream(conf) << "USECPU=5\nVECTORSET=sse2\n";
  const auto report = dir / "report.txt";
  const std::string command =
      "TAVROCAM_JPEG_CONFIG=" + Quote(conf) + " " + Quote(TAVROCAM_JPEG_TOOL) + " --cpu-info >" + Quote(report);
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string text = ReadText(report);
  EXPECT_NE(text.find("vector cap   sse2 (VECTORSET in " + conf.string() + ")"), std::string::npos) << text;
#ifdef TAVROCAM_JPEG_X86_KERNELS
  EXPECT_NE(text.find("MCU transform-quantise-code sse2"), std::string::npos) << text;
#endif
}

}  // namespace
}  // namespace jpeg_test
