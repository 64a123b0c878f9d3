// The turns run the program's one processor choice: the widest kernels the
// machine has, never above the VECTORSET cap. CTest runs this once more
// under a cap of sse2 and one of avx2.
#include <gtest/gtest.h>

#include <string>

#include "jpeg/processor.h"
#include "jpeg/processor_features.h"
#include "liveview/frame_rotation.h"

namespace {

TEST(ProcessorChoice, TurnsTakeTheWidestKernelsUnderTheCap) {
  const jpeg::VectorSetCap cap = jpeg::ReadVectorSetCap(jpeg::CpuOverridePath());
  const cpu::ProcessorFeatures& machine = cpu::DetectedFeatures();
  const bool below512 = cap == jpeg::VectorSetCap::kSse2 || cap == jpeg::VectorSetCap::kAvx2;
  const char* expected = machine.avx512vbmi && !below512                    ? "avx512"
                         : machine.avx2 && cap != jpeg::VectorSetCap::kSse2 ? "avx2"
                         : machine.ssse3                                    ? "ssse3"
                                                                            : "plain";
  EXPECT_EQ(std::string(TurnKernelsName()), expected) << "under the cap " << jpeg::VectorSetCapName(cap);
}

}  // namespace
