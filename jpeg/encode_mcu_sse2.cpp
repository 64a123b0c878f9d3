#include "jpeg/fdct_samples_lanes.h"
#include "jpeg/huffman_lanes.h"
#include "jpeg/mcu_steps.h"
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

void encode_mcu_sse2(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count) {
  EncodeMcuSteps(
      sink, workspace, components, count,
      [](std::int16_t* blocks, int n) {
        for (int b = 0; b < n; ++b) FdctSamples(blocks + 64 * b);
      },
      [](OutputSink& out, std::int16_t* block, McuComponent& c) {
        QuantizeLanes(block, c.reciprocals);
        HuffmanLanes(out, block, c.predictor, *c.dc, *c.ac);
      });
}

}  // namespace jpeg
