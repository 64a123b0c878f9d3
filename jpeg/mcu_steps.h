// The order of work on one extracted MCU, shared by every set's MCU kernel
// (internal linkage: each instruction-set file compiles its own copy).
#pragma once

#include <cstdint>

#include "jpeg/kernels.h"

namespace jpeg {
namespace {

// transform(blocks, n) transforms n neighbouring blocks; code(sink, block,
// component) quantises and codes one of them.
template <typename TransformBlocks, typename QuantizeAndCode>
inline __attribute__((always_inline)) void EncodeMcuSteps(OutputSink& sink, std::int16_t* workspace,
                                                          McuComponent* components, int count,
                                                          TransformBlocks transform, QuantizeAndCode code) {
  int total = 0;
  for (int i = 0; i < count; ++i) total += components[i].blocks;
  transform(workspace, total);
  std::int16_t* block = workspace;
  for (int i = 0; i < count; ++i) {
    McuComponent& component = components[i];
    for (int b = 0; b < component.blocks; ++b, block += 64) code(sink, block, component);
  }
}

}  // namespace
}  // namespace jpeg
