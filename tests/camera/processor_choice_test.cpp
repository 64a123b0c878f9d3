// The frame assembly runs the program's one processor choice: the widest
// kernels the machine has, never above the VECTORSET cap. CTest runs this
// once more under a cap of sse2.
#include <gtest/gtest.h>

#include "camera/frame_assembler.h"
#include "jpeg/processor.h"
#include "jpeg/processor_features.h"

namespace {

TEST(ProcessorChoice, AssemblyTakesTheWidestKernelsUnderTheCap) {
  const jpeg::VectorSetCap cap = jpeg::ReadVectorSetCap(jpeg::CpuOverridePath());
  const cpu::ProcessorFeatures& machine = cpu::DetectedFeatures();
  const bool wide = machine.avx2 && cap != jpeg::VectorSetCap::kSse2;
  const camera::AssemblyKernels expected = wide            ? camera::AssemblyKernels::Avx2
                                           : machine.ssse3 ? camera::AssemblyKernels::Ssse3
                                                           : camera::AssemblyKernels::Plain;
  EXPECT_EQ(camera::BestAssemblyKernels(), expected)
      << camera::AssemblyKernelsName(camera::BestAssemblyKernels()) << " under the cap " << jpeg::VectorSetCapName(cap);
  EXPECT_EQ(camera::VectorAssemblySupported(), expected != camera::AssemblyKernels::Plain);
}

}  // namespace
