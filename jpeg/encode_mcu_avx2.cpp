#include "jpeg/avx2_lanes.h"
#include "jpeg/mcu_steps.h"
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

// Each block is quantised in registers and reordered from there, so it never
// goes back to memory between the quantiser and the coder.
void encode_mcu_avx2(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count) {
  EncodeMcuSteps(
      sink, workspace, components, count,
      [](std::int16_t* blocks, int n) {
        for (int b = 0; b < n; ++b) FdctLanes(blocks + 64 * b);
      },
      [](OutputSink& out, std::int16_t* block, McuComponent& c) {
        __m128i rows[8];
        LoadRows(block, rows);
        QuantizeRows(rows, c.reciprocals);
        CodeRows(out, rows, c.predictor, *c.dc, *c.ac);
      });
}

}  // namespace jpeg
