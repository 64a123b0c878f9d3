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

// Zigzag group g (positions 8g..8g+7) gathered with word inserts, so the
// nonzero mask comes from registers rather than from 64 separate stores.
template <int kGroup>
TAVROCAM_LANES_INLINE __m128i GatherZigzagGroup(const std::int16_t* block) {
  constexpr int k = 8 * kGroup;
  __m128i v = _mm_cvtsi32_si128(static_cast<std::uint16_t>(block[kZigzag[k]]));
  v = _mm_insert_epi16(v, block[kZigzag[k + 1]], 1);
  v = _mm_insert_epi16(v, block[kZigzag[k + 2]], 2);
  v = _mm_insert_epi16(v, block[kZigzag[k + 3]], 3);
  v = _mm_insert_epi16(v, block[kZigzag[k + 4]], 4);
  v = _mm_insert_epi16(v, block[kZigzag[k + 5]], 5);
  v = _mm_insert_epi16(v, block[kZigzag[k + 6]], 6);
  v = _mm_insert_epi16(v, block[kZigzag[k + 7]], 7);
  return v;
}

// Quantises a transformed block in place and codes it through any writer.
template <typename Writer>
TAVROCAM_LANES_INLINE void QuantizeAndCode(Writer& out, std::int16_t* block, McuComponent& c) {
  QuantizeLanes(block, c.reciprocals);
  // The inserts read the quantised values from memory, one load each: left
  // to itself the compiler keeps them in registers and moves each one out
  // with an extract first, which costs twice as much.
  asm volatile("" ::: "memory");
  const __m128i groups[8] = {GatherZigzagGroup<0>(block), GatherZigzagGroup<1>(block), GatherZigzagGroup<2>(block),
                             GatherZigzagGroup<3>(block), GatherZigzagGroup<4>(block), GatherZigzagGroup<5>(block),
                             GatherZigzagGroup<6>(block), GatherZigzagGroup<7>(block)};
  alignas(16) std::int16_t zigzag[64];
  std::uint64_t zero_bits = 0;
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i < 8; i += 2) {
    _mm_store_si128(reinterpret_cast<__m128i*>(zigzag + 8 * i), groups[i]);
    _mm_store_si128(reinterpret_cast<__m128i*>(zigzag + 8 * i + 8), groups[i + 1]);
    const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(groups[i], zero), _mm_cmpeq_epi16(groups[i + 1], zero));
    zero_bits |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(zeros))) << (8 * i);
  }
  const std::uint64_t nonzero = ~zero_bits & ~std::uint64_t{1};  // the DC value is coded apart
  constexpr bool kWideWriter = requires { out.Flush(); };
  CodeZigzagBits<kWideWriter>(out, block[0], zigzag, nonzero, c.predictor, *c.dc, *c.ac);
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
