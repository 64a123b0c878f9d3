// The one processor choice: which sets the identification words allow, what
// the VECTORSET cap leaves, and what each kernel family takes from that.
#include "jpeg/processor_features.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "jpeg/processor.h"
#include "jpeg_test_support.h"

namespace {

using cpu::KernelSet;

constexpr std::uint32_t kSse2 = 1u << 26, kSsse3 = 1u << 9, kOsxsave = 1u << 27, kAvx = 1u << 28;
constexpr std::uint32_t kAvx2 = 1u << 5, kAvx512Set = (1u << 16) | (1u << 28) | (1u << 30) | (1u << 31);
constexpr std::uint32_t kVbmi = 1u << 1;

cpu::CpuidWords Words(std::uint32_t leaf1_ecx, std::uint32_t leaf7_ebx, std::uint32_t leaf7_ecx, std::uint32_t xcr0) {
  cpu::CpuidWords words{0xD, leaf1_ecx, kSse2, leaf7_ebx, xcr0};
  words.leaf7_ecx = leaf7_ecx;
  return words;
}

// Each family's choice, as the --cpu-info line names them.
std::string Choices(const cpu::ProcessorFeatures& f) {
  return std::string(cpu::KernelSetName(cpu::EncoderSetFor(f))) + " " + cpu::KernelSetName(cpu::AssemblySetFor(f)) +
         " " + cpu::KernelSetName(cpu::TurnSetFor(f));
}

TEST(ProcessorChoice, EachFamilyTakesTheWidestSetTheWordsAndTheCapAllow) {
  const std::uint32_t all = kSsse3 | kOsxsave | kAvx;
  const struct {
    const char* what;
    cpu::CpuidWords words;
    const char* uncapped;
    const char* sse2Cap;
    const char* avx2Cap;
  } cases[] = {
      {"AVX-512 with VBMI", Words(all, kAvx2 | kAvx512Set, kVbmi, 0xE7), "avx512 avx2 avx512", "sse2 ssse3 ssse3",
       "avx2 avx2 avx2"},
      // The turns' 512-bit kernels permute bytes: without VBMI they stay at AVX2.
      {"AVX-512 without VBMI", Words(all, kAvx2 | kAvx512Set, 0, 0xE7), "avx512 avx2 avx2", "sse2 ssse3 ssse3",
       "avx2 avx2 avx2"},
      {"VBMI but no 512-bit state saved", Words(all, kAvx2 | kAvx512Set, kVbmi, 0x7), "avx2 avx2 avx2",
       "sse2 ssse3 ssse3", "avx2 avx2 avx2"},
      {"AVX2 with the OS saving no upper halves", Words(all, kAvx2, 0, 0x3), "sse2 ssse3 ssse3", "sse2 ssse3 ssse3",
       "sse2 ssse3 ssse3"},
      {"SSE2 alone", Words(0, 0, 0, 0), "sse2 plain plain", "sse2 plain plain", "sse2 plain plain"},
  };
  for (const auto& c : cases) {
    const cpu::ProcessorFeatures f = cpu::FeaturesFrom(c.words);
    EXPECT_EQ(Choices(f), c.uncapped) << c.what;
    EXPECT_EQ(Choices(cpu::CapFeatures(f, jpeg::VectorSetCap::kAvx512)), c.uncapped) << c.what;
    EXPECT_EQ(Choices(cpu::CapFeatures(f, jpeg::VectorSetCap::kNone)), c.uncapped) << c.what;
    EXPECT_EQ(Choices(cpu::CapFeatures(f, jpeg::VectorSetCap::kSse2)), c.sse2Cap) << c.what;
    EXPECT_EQ(Choices(cpu::CapFeatures(f, jpeg::VectorSetCap::kAvx2)), c.avx2Cap) << c.what;
  }
  // No identification instruction: nothing, and the vendor stays blank.
  EXPECT_EQ(Choices(cpu::FeaturesFrom(cpu::CpuidWords{})), "plain plain plain");
}

TEST(ProcessorChoice, DetectedOnceAndTheCapReadAtEachAsk) {
  EXPECT_EQ(&cpu::DetectedFeatures(), &cpu::DetectedFeatures());
  const cpu::ProcessorFeatures detected = cpu::FeaturesFrom(cpu::ReadCpuidWords());
  EXPECT_EQ(Choices(cpu::DetectedFeatures()), Choices(detected));
  {
    jpeg_test::ScopedOverrideFile capped("VECTORSET=sse2\n");
    const cpu::ProcessorFeatures usable = cpu::UsableFeatures();
    EXPECT_FALSE(usable.avx2);
    EXPECT_FALSE(usable.avx512vbmi);
    EXPECT_EQ(usable.ssse3, detected.ssse3);
  }
  jpeg_test::ScopedOverrideFile open("USECPU=6\n");
  EXPECT_EQ(Choices(cpu::UsableFeatures()), Choices(detected));
}

TEST(ProcessorChoice, CpuInfoListsEveryFamilyUnderTheCap) {
  jpeg_test::TempDir dir;
  const auto conf = dir / "capped.conf";
  std::ofstream(conf) << "VECTORSET=sse2\n";
  const auto report = dir / "report.txt";
  const std::string command =
      "TAVROCAM_JPEG_CONFIG='" + conf.string() + "' '" + TAVROCAM_JPEG_TOOL + "' --cpu-info >'" + report.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(report);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const cpu::ProcessorFeatures capped = cpu::CapFeatures(cpu::DetectedFeatures(), jpeg::VectorSetCap::kSse2);
  const std::string expected = std::string("families     encoder ") + cpu::KernelSetName(cpu::EncoderSetFor(capped)) +
                               " (classes 3 to 6), frame assembly " + cpu::KernelSetName(cpu::AssemblySetFor(capped)) +
                               ", turns " + cpu::KernelSetName(cpu::TurnSetFor(capped)) + "\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_EQ(text.find("avx2,"), std::string::npos) << text;
}

}  // namespace
