#include "jpeg/avx512_lanes.h"
#include "jpeg/fdct_samples_lanes.h"
#include "jpeg/mcu_steps.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

// Blocks are transformed four to a 512-bit register in 16-bit lanes (the
// extraction's samples allow it), a remaining pair two to a register in
// 32-bit lanes; each is then quantised in zigzag order right after its
// reordering, so it never goes back to memory between the quantiser and the
// coder.
void encode_mcu_avx512(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count) {
  EncodeMcuSteps(
      sink, workspace, components, count,
      [](std::int16_t* blocks, int n) {
        int b = 0;
        for (; b + 3 < n; b += 4) FdctSampleQuad(blocks + 64 * b);
        for (; b + 1 < n; b += 2) FdctPairLanes(blocks + 64 * b);
        if (b < n) FdctLanes(blocks + 64 * b);
      },
      [](OutputSink& out, std::int16_t* block, McuComponent& c) {
        ZigzagBlock zz = LoadZigzag(block);
        zz.first = Quantize32(zz.first, _mm512_load_si512(c.zigzag_reciprocals));
        zz.second = Quantize32(zz.second, _mm512_load_si512(c.zigzag_reciprocals + 32));
        CodeZigzagLanes<true>(out, zz, c.predictor, *c.dc, *c.ac);
      });
}

}  // namespace jpeg
