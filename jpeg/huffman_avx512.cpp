#include <immintrin.h>

#include "jpeg/huffman_lanes.h"
#include "jpeg/vector_kernels.h"

namespace jpeg {

namespace {

// Natural index of each zigzag position, as two-register permute selectors.
alignas(64) constexpr std::int16_t kZigzagSelect[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

}  // namespace

// The block goes into zigzag order by two permutes across all 64 values, its
// nonzero mask comes from two lane tests, and every value's magnitude
// category and coded bits are worked out in vector registers up front, so
// the serial loop only looks up codes and packs bits.
void huffman_block_avx512(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                          const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  const __m512i first = _mm512_loadu_si512(block);
  const __m512i second = _mm512_loadu_si512(block + 32);
  const __m512i zz[2] = {_mm512_permutex2var_epi16(first, _mm512_load_si512(kZigzagSelect), second),
                         _mm512_permutex2var_epi16(first, _mm512_load_si512(kZigzagSelect + 32), second)};
  std::uint64_t nonzero =
      (static_cast<std::uint64_t>(_mm512_test_epi16_mask(zz[1], zz[1])) << 32) | _mm512_test_epi16_mask(zz[0], zz[0]);
  nonzero &= ~std::uint64_t{1};  // the DC value is coded apart

  // entry[k]: category << 16 | coded bits (value - 1 when negative, low category bits).
  alignas(64) std::uint32_t entry[64];
  const __m512i one = _mm512_set1_epi32(1);
  const __m512i thirty_two = _mm512_set1_epi32(32);
  for (int i = 0; i < 4; ++i) {
    const __m256i half = i % 2 == 0 ? _mm512_castsi512_si256(zz[i / 2]) : _mm512_extracti64x4_epi64(zz[i / 2], 1);
    const __m512i v = _mm512_cvtepi16_epi32(half);
    const __m512i sign = _mm512_srai_epi32(v, 31);
    const __m512i size = _mm512_sub_epi32(thirty_two, _mm512_lzcnt_epi32(_mm512_abs_epi32(v)));
    const __m512i mask = _mm512_sub_epi32(_mm512_sllv_epi32(one, size), one);
    const __m512i bits = _mm512_and_si512(_mm512_add_epi32(v, sign), mask);
    _mm512_store_si512(entry + 16 * i, _mm512_or_si512(_mm512_slli_epi32(size, 16), bits));
  }

  BitWriter out(sink);
  CodeDc(out, block[0], dc_predictor, dc);

  int last = 0;
  while (nonzero != 0) {
    const int k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int run = k - last - 1;
    for (; run >= 16; run -= 16) out.Put(ac.code[0xF0], ac.length[0xF0]);
    const std::uint32_t e = entry[k];
    const int category = static_cast<int>(e >> 16);
    const int symbol = (run << 4) | category;
    out.Put((static_cast<std::uint32_t>(ac.code[symbol]) << category) | (e & 0xFFFFu), ac.length[symbol] + category);
    last = k;
  }
  if (last != 63) out.Put(ac.code[0x00], ac.length[0x00]);
}

}  // namespace jpeg
