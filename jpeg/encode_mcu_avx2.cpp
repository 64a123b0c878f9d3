#include "jpeg/avx2_lanes.h"
#include "jpeg/fdct_samples_lanes.h"
#include "jpeg/mcu_steps.h"
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"
#include "jpeg/wide_bit_writer.h"

namespace jpeg {

namespace {

// The most blocks an MCU of this encoder holds (four components, the first
// and last sampled 2x2).
constexpr int kStagedBlocks = 10;

}  // namespace

// Each block is quantised in registers and reordered from there, so it never
// goes back to memory between the quantiser and the coder. The MCU's bits are
// packed into a staging area on the stack without a branch per symbol and
// then copied to the output in one piece.
void encode_mcu_avx2(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count) {
  int total = 0;
  for (int i = 0; i < count; ++i) total += components[i].blocks;
  const auto quantize_and_code = [](auto& out, std::int16_t* block, McuComponent& c) {
    __m128i rows[8];
    LoadRows(block, rows);
    QuantizeRows(rows, c.reciprocals);
    CodeRows(out, rows, c.predictor, *c.dc, *c.ac);
  };
  const auto transform = [](std::int16_t* blocks, int n) {
    int b = 0;
    for (; b + 1 < n; b += 2) FdctSamplePair(blocks + 64 * b);
    if (b < n) FdctSamples(blocks + 64 * b);
  };
  if (total > kStagedBlocks) {
    EncodeMcuSteps(sink, workspace, components, count, transform,
                   [&quantize_and_code](OutputSink& s, std::int16_t* block, McuComponent& c) {
                     BitWriter out(s);
                     quantize_and_code(out, block, c);
                   });
    return;
  }

  alignas(32) std::uint8_t staged[kStagedBlocks * kWideBlockRoom + kWideOverhang];
  std::uint8_t* staged_end = staged;
  {
    WideBitWriter<false> out(sink, staged_end);
    EncodeMcuSteps(sink, workspace, components, count, transform,
                   [&](OutputSink&, std::int16_t* block, McuComponent& c) { quantize_and_code(out, block, c); });
  }
  PutBytesChecked(sink, staged, staged_end - staged);
}

}  // namespace jpeg
