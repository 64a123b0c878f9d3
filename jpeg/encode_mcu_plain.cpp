#include "jpeg/kernels.h"
#include "jpeg/mcu_steps.h"

namespace jpeg {

void encode_mcu_plain(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count) {
  EncodeMcuSteps(
      sink, workspace, components, count,
      [](std::int16_t* blocks, int n) {
        for (int b = 0; b < n; ++b) fdct_islow_plain(blocks + 64 * b);
      },
      [](OutputSink& out, std::int16_t* block, McuComponent& c) {
        quantize_plain(block, c.reciprocals);
        huffman_block_plain(out, block, c.predictor, *c.dc, *c.ac);
      });
}

}  // namespace jpeg
