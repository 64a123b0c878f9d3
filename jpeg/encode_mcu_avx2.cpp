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

// Both blocks of a pair (rows side by side in the 128-bit lanes) into zigzag
// order at once, the byte shuffles working within each lane, with their
// masks of nonzero values (DC included).
inline __attribute__((always_inline)) void ZigzagPairByShuffles(const __m256i (&rows)[8], std::int16_t* first,
                                                                std::int16_t* second, std::uint64_t (&nonzero)[2]) {
  std::uint64_t zero_bits[2] = {0, 0};
  const __m256i zero = _mm256_setzero_si256();
  __m256i previous_zeros = zero;
  int shuffle = 0;
#pragma GCC unroll 8
  for (int group = 0; group < 8; ++group) {
    const __m256i values = ZigzagGroup(rows, group, shuffle);
    _mm_store_si128(reinterpret_cast<__m128i*>(first + 8 * group), _mm256_castsi256_si128(values));
    _mm_store_si128(reinterpret_cast<__m128i*>(second + 8 * group), _mm256_extracti128_si256(values, 1));
    const __m256i zeros = _mm256_cmpeq_epi16(values, zero);
    if (group % 2 == 1) {
      // Each lane: the two groups' sixteen flags as bytes, in order.
      const auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_packs_epi16(previous_zeros, zeros)));
      zero_bits[0] |= static_cast<std::uint64_t>(bits & 0xFFFFu) << (8 * (group - 1));
      zero_bits[1] |= static_cast<std::uint64_t>(bits >> 16) << (8 * (group - 1));
    }
    previous_zeros = zeros;
  }
  nonzero[0] = ~zero_bits[0];
  nonzero[1] = ~zero_bits[1];
}

}  // namespace

// Neighbouring blocks are transformed two at a time, quantised in the
// transform's registers and reordered from there: nothing goes back to
// memory before the zigzag values the coder reads. The MCU's bits are packed
// into a staging area on the stack without a branch per symbol and then
// copied to the output in one piece. The transform wants the extraction's
// samples (luma -128..127, chroma -127..128) in the workspace.
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

  // The blocks' components in order, so that neighbours can go through the
  // transform, the quantiser and the coder together.
  McuComponent* owner[kStagedBlocks];
  for (int i = 0, b = 0; i < count; ++i) {
    for (int k = 0; k < components[i].blocks; ++k) owner[b++] = &components[i];
  }
  alignas(32) std::uint8_t staged[kStagedBlocks * kWideBlockRoom + kWideOverhang];
  std::uint8_t* staged_end = staged;
  {
    WideBitWriter<false> out(sink, staged_end);
    int b = 0;
    for (; b + 1 < total; b += 2) {
      // Both blocks stay in registers from the transform to the coder.
      __m256i lines[8];
      FdctSamplePairLines(workspace + 64 * b, lines);
      const __m256i unit = _mm256_set1_epi16(-32768);
      for (int i = 0; i < 8; ++i) {
        const __m256i r = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(owner[b]->reciprocals + 8 * i))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(owner[b + 1]->reciprocals + 8 * i)), 1);
        lines[i] = _mm256_blendv_epi8(_mm256_mulhrs_epi16(lines[i], r), lines[i], _mm256_cmpeq_epi16(r, unit));
      }
      alignas(32) std::int16_t zigzag[2][64];
      std::uint64_t nonzero[2];
      ZigzagPairByShuffles(lines, zigzag[0], zigzag[1], nonzero);
      for (int k = 0; k < 2; ++k) {
        McuComponent& c = *owner[b + k];
        CodeZigzagBits<true>(out, zigzag[k][0], zigzag[k], nonzero[k] & ~std::uint64_t{1}, c.predictor, *c.dc, *c.ac);
      }
    }
    if (b < total) {
      FdctSamples(workspace + 64 * b);
      quantize_and_code(out, workspace + 64 * b, *owner[b]);
    }
  }
  PutBytesChecked(sink, staged, staged_end - staged);
}

}  // namespace jpeg
