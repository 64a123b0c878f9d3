#include "jpeg/fdct_samples_lanes.h"
#include "jpeg/huffman_lanes.h"
#include "jpeg/mcu_steps.h"
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"
#include "jpeg/wide_bit_writer.h"

namespace jpeg {

namespace {

// The most blocks an MCU of this encoder holds (four components, the first
// and last sampled 2x2).
constexpr int kStagedBlocks = 10;

// Quantises a transformed block in place and codes it through any writer.
template <typename Writer>
TAVROCAM_LANES_INLINE void QuantizeAndCode(Writer& out, std::int16_t* block, McuComponent& c) {
  QuantizeLanes(block, c.reciprocals);
  alignas(16) std::int16_t zigzag[64];
  zigzag[0] = 0;  // the DC value is coded apart
  for (int k = 1; k < 64; ++k) zigzag[k] = block[kZigzag[k]];
  CodeZigzagBits(out, block[0], zigzag, NonzeroMask(zigzag), c.predictor, *c.dc, *c.ac);
}

}  // namespace

// The transform of samples in 16-bit lanes; the MCU's bits are packed into a
// staging area on the stack without a branch per symbol and then copied to
// the output in one piece (the bit writer is plain 64-bit code).
void encode_mcu_sse2(OutputSink& sink, std::int16_t* workspace, McuComponent* components, int count) {
  int total = 0;
  for (int i = 0; i < count; ++i) total += components[i].blocks;
  const auto transform = [](std::int16_t* blocks, int n) {
    for (int b = 0; b < n; ++b) FdctSamples(blocks + 64 * b);
  };
  if (total > kStagedBlocks) {
    EncodeMcuSteps(sink, workspace, components, count, transform,
                   [](OutputSink& s, std::int16_t* block, McuComponent& c) {
                     BitWriter out(s);
                     QuantizeAndCode(out, block, c);
                   });
    return;
  }
  alignas(16) std::uint8_t staged[kStagedBlocks * kWideBlockRoom + kWideOverhang];
  std::uint8_t* staged_end = staged;
  {
    WideBitWriter<false> out(sink, staged_end);
    EncodeMcuSteps(sink, workspace, components, count, transform,
                   [&](OutputSink&, std::int16_t* block, McuComponent& c) { QuantizeAndCode(out, block, c); });
  }
  PutBytesChecked(sink, staged, staged_end - staged);
}

}  // namespace jpeg
