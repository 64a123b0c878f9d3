// Processor classes and the machine-wide override.
#include <gtest/gtest.h>

#include "jpeg/kernels.h"
#include "jpeg/processor.h"
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

}  // namespace
}  // namespace jpeg_test
