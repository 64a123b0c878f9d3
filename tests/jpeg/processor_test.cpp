// Processor classes and the machine-wide override.
#include "jpeg/processor.h"

#include <gtest/gtest.h>

#include "jpeg/kernels.h"
#include "jpeg/vector_kernels.h"
#include "jpeg_test_support.h"

namespace jpeg_test {
namespace {

using jpeg::kFeatureMmx;
using jpeg::kFeatureSse;
using jpeg::kFeatureSse2;

jpeg::ProcessorId Cpu(std::uint32_t family, std::uint32_t features) {
  jpeg::ProcessorId id{};
  id.family = family;
  id.features = features;
  return id;
}

TEST(ProcessorClass, FollowsFamilyAndFeatures) {
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(5, 0)), 1);
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(5, kFeatureMmx)), 3);
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(6, 0)), 2);
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(6, kFeatureMmx)), 4);
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(6, kFeatureMmx | kFeatureSse)), 5);
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(6, kFeatureSse | kFeatureSse2)), 2);  // SSE without MMX
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(15, kFeatureMmx | kFeatureSse | kFeatureSse2)), 6);
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(15, kFeatureMmx | kFeatureSse)), 0);  // no SSE2: plain
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(4, kFeatureMmx)), 0);
  EXPECT_EQ(jpeg::ClassifyProcessor(Cpu(0, ~0u)), 0);
}

TEST(ProcessorClass, IdentificationFillsTheRecord) {
  const jpeg::ProcessorId id = jpeg::IdentifyProcessor();
  EXPECT_EQ(id.vendor[12], '\0');
  EXPECT_LE(id.family, 15u);
  EXPECT_LE(id.type, 3u);
#if defined(__x86_64__)
  EXPECT_NE(id.features & kFeatureSse2, 0u);  // every x86-64 processor has SSE2
  EXPECT_NE(std::string(id.vendor), std::string(12, ' '));
#endif
}

TEST(CpuOverride, ReadsUsecpuLines) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"USECPU=0\n", 0},
      {"# plain kernels\nUSECPU=3\n", 3},
      {"  USECPU=6", 6},
      {"USECPU=7\n", 7},
      {"USECPU=-1\n", -1},
      {"USECPU=\n", -1},
      {"USECPU=abc\n", -1},
      {"USECPU=4x\n", -1},
      {"USECPU=99999999999\n", -1},
      {"OTHER=2\n", -1},
      {"", -1},
  };
  for (const auto& [text, expected] : cases) {
    ScopedOverrideFile file(text);
    EXPECT_EQ(jpeg::ReadCpuOverride(jpeg::CpuOverridePath()), expected) << text;
  }
  EXPECT_EQ(jpeg::ReadCpuOverride("/nonexistent/tavrocam/jpeg.conf"), -1);
}

TEST(CpuOverride, ForcesTheClassOnlyWithinRange) {
  jpeg::ProcessorId id{};
  const std::int32_t detected = jpeg::ClassifyProcessor(jpeg::IdentifyProcessor());
  for (std::int32_t forced = 0; forced <= 6; ++forced) {
    ScopedOverrideFile file("USECPU=" + std::to_string(forced) + "\n");
    EXPECT_EQ(jpeg::DetermineProcessorClass(id), forced);
    JPEG_PROPERTIES p;
    ASSERT_EQ(JpegInit(&p), 0);
    EXPECT_EQ(p.state.cpu_type, forced);
    EXPECT_EQ(p.state.kernels->cpu_type, forced);
    JpegFree(&p);
  }
  for (const char* ignored : {"USECPU=7\n", "USECPU=-1\n", "garbage"}) {
    ScopedOverrideFile file(ignored);
    EXPECT_EQ(jpeg::DetermineProcessorClass(id), detected) << ignored;
  }
  {
    // A missing file means no override, even with the variable set.
    ScopedOverrideFile file("USECPU=0\n");
    ::setenv("TAVROCAM_JPEG_CONFIG", "/nonexistent/jpeg.conf", 1);
    EXPECT_EQ(jpeg::DetermineProcessorClass(id), detected);
  }
}

TEST(CpuOverride, EveryForcedClassEncodesTheSameBytes) {
  const Picture pic = NaturalPicture(45, 35, 8);
  std::vector<std::uint8_t> first;
  for (std::int32_t forced = 0; forced <= 6; ++forced) {
    ScopedOverrideFile file("USECPU=" + std::to_string(forced) + "\n");
    const auto jpeg = EncodeToMemory(pic, 75);
    ASSERT_FALSE(jpeg.empty());
    if (forced == 0) first = jpeg;
    EXPECT_EQ(jpeg, first) << "class " << forced;
  }
}

// Identification words as processors report them; bits by their documented positions.
constexpr std::uint32_t kSse2 = 1u << 26, kOsxsave = 1u << 27, kAvx = 1u << 28;
constexpr std::uint32_t kBmi1 = 1u << 3, kAvx2 = 1u << 5, kBmi2 = 1u << 8, kAvx512F = 1u << 16;
constexpr std::uint32_t kAvx512Cd = 1u << 28, kAvx512Bw = 1u << 30, kAvx512Vl = 1u << 31;
constexpr std::uint32_t kAvx512Set = kAvx512F | kAvx512Cd | kAvx512Bw | kAvx512Vl;

jpeg::CpuidWords Words(std::uint32_t max_leaf, std::uint32_t ecx, std::uint32_t leaf7_ebx, std::uint32_t xcr0) {
  return {max_leaf, ecx, kSse2, leaf7_ebx, xcr0};
}

std::string Sets(const jpeg::VectorSupport& s) {
  return std::string(s.sse2 ? "sse2 " : "") + (s.avx2 ? "avx2 " : "") + (s.avx512 ? "avx512" : "");
}

TEST(VectorDetection, ChoosesOnlySetsTheProcessorAndItsSystemCanRun) {
  const struct {
    const char* what;
    jpeg::CpuidWords words;
    const char* sets;
  } cases[] = {
      {"a full AVX-512 processor", Words(0xD, kOsxsave | kAvx, kAvx2 | kBmi1 | kBmi2 | kAvx512Set, 0xE7),
       "sse2 avx2 avx512"},
      // A virtual machine offering AVX2 but hiding LZCNT (another leaf) and
      // BMI: the kernels use neither, so AVX2 stays safe.
      {"AVX2 without BMI", Words(0xD, kOsxsave | kAvx, kAvx2, 0x7), "sse2 avx2 "},
      {"AVX-512 without BMI", Words(0xD, kOsxsave | kAvx, kAvx2 | kAvx512Set, 0xE7), "sse2 avx2 avx512"},
      {"AVX2 whose upper halves the system does not save", Words(0xD, kOsxsave | kAvx, kAvx2, 0x3), "sse2 "},
      {"AVX2 with xgetbv off", Words(0xD, kAvx, kAvx2, 0x7), "sse2 "},
      {"AVX2 bit without AVX", Words(0xD, kOsxsave, kAvx2, 0x7), "sse2 "},
      {"leaf 7 not offered", Words(6, kOsxsave | kAvx, kAvx2 | kAvx512Set, 0xE7), "sse2 "},
      {"AVX-512 without CD", Words(0xD, kOsxsave | kAvx, kAvx2 | (kAvx512Set & ~kAvx512Cd), 0xE7), "sse2 avx2 "},
      {"AVX-512 without VL", Words(0xD, kOsxsave | kAvx, kAvx2 | (kAvx512Set & ~kAvx512Vl), 0xE7), "sse2 avx2 "},
      {"AVX-512 whose 512-bit state the system does not save", Words(0xD, kOsxsave | kAvx, kAvx2 | kAvx512Set, 0x7),
       "sse2 avx2 "},
      {"AVX-512 bits without AVX2", Words(0xD, kOsxsave | kAvx, kAvx512Set, 0xE7), "sse2 "},
      {"no leaves beyond 0", Words(0, kOsxsave | kAvx, kAvx2 | kAvx512Set, 0xE7), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Sets(jpeg::VectorSupportFrom(c.words)), c.sets) << c.what;

  jpeg::CpuidWords no_sse2 = Words(0xD, kOsxsave | kAvx, kAvx2 | kAvx512Set, 0xE7);
  no_sse2.leaf1_edx = 0;
  EXPECT_EQ(Sets(jpeg::VectorSupportFrom(no_sse2)), "") << "no SSE2";
}

TEST(VectorSetCap, ReadsVectorsetLinesBesideUsecpu) {
  using jpeg::VectorSetCap;
  const std::pair<const char*, VectorSetCap> cases[] = {
      {"VECTORSET=sse2\n", VectorSetCap::kSse2},
      {"USECPU=6\nVECTORSET=avx2\n", VectorSetCap::kAvx2},
      {"  VECTORSET=AVX512 \r\n", VectorSetCap::kAvx512},
      {"VECTORSET=avx2\nVECTORSET=sse2\n", VectorSetCap::kAvx2},  // the first line decides
      {"VECTORSET=mmx\n", VectorSetCap::kNone},
      {"VECTORSET=avx\n", VectorSetCap::kNone},
      {"VECTORSET=\n", VectorSetCap::kNone},
      {"VECTORSET = avx2\n", VectorSetCap::kNone},
      {"# VECTORSET=sse2\n", VectorSetCap::kNone},
      {"USECPU=6\n", VectorSetCap::kNone},
  };
  for (const auto& [text, expected] : cases) {
    ScopedOverrideFile file(text);
    EXPECT_EQ(jpeg::ReadVectorSetCap(jpeg::CpuOverridePath()), expected) << text;
  }
  EXPECT_EQ(jpeg::ReadVectorSetCap("/nonexistent/tavrocam/jpeg.conf"), VectorSetCap::kNone);
  ScopedOverrideFile both("VECTORSET=sse2\nUSECPU=3\n");
  EXPECT_EQ(jpeg::ReadCpuOverride(jpeg::CpuOverridePath()), 3);
}

TEST(VectorSetCap, OnlyEverLowersTheSet) {
  using jpeg::VectorSetCap;
  const jpeg::VectorSupport machines[] = {
      {false, false, false}, {true, false, false}, {true, true, false}, {true, true, true}};
  const VectorSetCap caps[] = {VectorSetCap::kNone, VectorSetCap::kSse2, VectorSetCap::kAvx2, VectorSetCap::kAvx512};
  for (const auto& machine : machines) {
    for (const VectorSetCap cap : caps) {
      const jpeg::VectorSupport capped = jpeg::CapVectorSupport(machine, cap);
      const std::string what = Sets(machine) + "capped at " + jpeg::VectorSetCapName(cap);
      EXPECT_EQ(capped.sse2, machine.sse2) << what;
      EXPECT_EQ(capped.avx2, machine.avx2 && cap != VectorSetCap::kSse2) << what;
      EXPECT_EQ(capped.avx512, machine.avx512 && (cap == VectorSetCap::kNone || cap == VectorSetCap::kAvx512)) << what;
    }
  }
}

TEST(VectorSetCap, CapsTheKernelTableAndKeepsTheBytes) {
  const Picture pic = NaturalPicture(45, 35, 9);
  std::vector<std::uint8_t> plain;
  {
    ScopedOverrideFile file("USECPU=0\n");
    plain = EncodeToMemory(pic, 75);
  }
  ASSERT_FALSE(plain.empty());
#ifdef TAVROCAM_JPEG_X86_KERNELS
  const jpeg::VectorSupport machine = jpeg::DetectVectorSupport();
#else
  const jpeg::VectorSupport machine{};
#endif
  const std::pair<const char*, std::string> caps[] = {
      {"sse2", machine.sse2 ? "sse2" : "plain"},
      {"avx2", machine.avx2   ? "avx2"
               : machine.sse2 ? "sse2"
                              : "plain"},
      {"avx512", machine.avx512 ? "avx512"
                 : machine.avx2 ? "avx2"
                 : machine.sse2 ? "sse2"
                                : "plain"},
  };
  for (const auto& [cap, expected] : caps) {
    ScopedOverrideFile file(std::string("USECPU=6\nVECTORSET=") + cap + "\n");
    JPEG_PROPERTIES p;
    ASSERT_EQ(JpegInit(&p), 0);
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(p.state.kernels->encode_mcu)), expected) << cap;
    EXPECT_EQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(p.state.kernels->huffman_block)), expected) << cap;
    JpegFree(&p);
    EXPECT_EQ(EncodeToMemory(pic, 75), plain) << cap;
  }
  // The cap leaves the plain classes plain.
  ScopedOverrideFile file("USECPU=2\nVECTORSET=avx512\n");
  JPEG_PROPERTIES p;
  ASSERT_EQ(JpegInit(&p), 0);
  EXPECT_STREQ(jpeg::KernelVariantName(reinterpret_cast<const void*>(p.state.kernels->encode_mcu)), "plain");
  JpegFree(&p);
}

}  // namespace
}  // namespace jpeg_test
