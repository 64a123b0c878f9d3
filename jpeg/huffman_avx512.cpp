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

// The block goes into zigzag order by two permutes across all 64 values and
// its nonzero mask comes from two lane tests.
void huffman_block_avx512(OutputSink& sink, const std::int16_t* block, std::int32_t& dc_predictor,
                          const HuffmanCodeTable& dc, const HuffmanCodeTable& ac) {
  const __m512i first = _mm512_loadu_si512(block);
  const __m512i second = _mm512_loadu_si512(block + 32);
  const __m512i zz0 = _mm512_permutex2var_epi16(first, _mm512_load_si512(kZigzagSelect), second);
  const __m512i zz1 = _mm512_permutex2var_epi16(first, _mm512_load_si512(kZigzagSelect + 32), second);
  alignas(64) std::int16_t zigzag[64];
  _mm512_store_si512(zigzag, zz0);
  _mm512_store_si512(zigzag + 32, zz1);
  const std::uint64_t nonzero =
      (static_cast<std::uint64_t>(_mm512_test_epi16_mask(zz1, zz1)) << 32) | _mm512_test_epi16_mask(zz0, zz0);
  CodeZigzagBlock(sink, block, zigzag, nonzero & ~std::uint64_t{1}, dc_predictor, dc, ac);
}

}  // namespace jpeg
