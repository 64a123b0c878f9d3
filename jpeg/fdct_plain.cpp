#include "jpeg/kernels.h"

namespace jpeg {

namespace {

// Row pass: results scaled by 8 so the column pass keeps its precision.
inline void RowPass(std::int16_t* p) {
  const std::int32_t x0 = p[0], x1 = p[1], x2 = p[2], x3 = p[3];
  const std::int32_t x4 = p[4], x5 = p[5], x6 = p[6], x7 = p[7];
  const std::int32_t s07 = x0 + x7, s34 = x3 + x4, s16 = x1 + x6, s25 = x2 + x5;
  const std::int32_t e0 = s07 - s34, e1 = s16 - s25;
  const std::int32_t t = ((x0 - x7) * 46341 + 2048) >> 12;
  const std::int32_t u = ((x3 - x4) * 46341 + 2048) >> 12;
  const std::int32_t v = (x1 + x2 - x5 - x6) * 8;
  const std::int32_t a = (x1 + x5 - x2 - x6) * 8;
  const std::int32_t w = v + t, z = a + u;
  const std::int32_t t2 = t - v, u2 = u - a;
  p[0] = static_cast<std::int16_t>((s07 + s34 + s16 + s25) * 8);
  p[4] = static_cast<std::int16_t>((s07 + s34 - s16 - s25) * 8);
  p[2] = static_cast<std::int16_t>((e0 * 42813 + e1 * 17734 + 2048) >> 12);
  p[6] = static_cast<std::int16_t>((e0 * 17734 - e1 * 42813 + 2048) >> 12);
  p[1] = static_cast<std::int16_t>((w * 4017 + z * 799 + 2048) >> 12);
  p[7] = static_cast<std::int16_t>((w * 799 - z * 4017 + 2048) >> 12);
  p[5] = static_cast<std::int16_t>((t2 * 2276 + u2 * 3406 + 2048) >> 12);
  p[3] = static_cast<std::int16_t>((t2 * 3406 - u2 * 2276 + 2048) >> 12);
}

// Column pass: removes the row pass's scaling (>> 6 and >> 21 instead of >> 12).
inline void ColumnPass(std::int16_t* p) {
  const std::int32_t x0 = p[0], x1 = p[8], x2 = p[16], x3 = p[24];
  const std::int32_t x4 = p[32], x5 = p[40], x6 = p[48], x7 = p[56];
  const std::int32_t s07 = x0 + x7, s34 = x3 + x4, s16 = x1 + x6, s25 = x2 + x5;
  const std::int32_t e0 = s07 - s34, e1 = s16 - s25;
  const std::int32_t t = ((x0 - x7) * 46341 + 2048) >> 12;
  const std::int32_t u = ((x3 - x4) * 46341 + 2048) >> 12;
  const std::int32_t v = (x1 + x2 - x5 - x6) * 8;
  const std::int32_t a = (x1 + x5 - x2 - x6) * 8;
  const std::int32_t w = v + t, z = a + u;
  const std::int32_t t2 = t - v, u2 = u - a;
  constexpr std::int32_t kRound = 1 << 20;
  p[0] = static_cast<std::int16_t>((s07 + s34 + s16 + s25 + 32) >> 6);
  p[32] = static_cast<std::int16_t>((s07 + s34 - s16 - s25 + 32) >> 6);
  p[16] = static_cast<std::int16_t>((e0 * 42813 + e1 * 17734 + kRound) >> 21);
  p[48] = static_cast<std::int16_t>((e0 * 17734 - e1 * 42813 + kRound) >> 21);
  p[8] = static_cast<std::int16_t>((w * 4017 + z * 799 + kRound) >> 21);
  p[56] = static_cast<std::int16_t>((w * 799 - z * 4017 + kRound) >> 21);
  p[40] = static_cast<std::int16_t>((t2 * 2276 + u2 * 3406 + kRound) >> 21);
  p[24] = static_cast<std::int16_t>((t2 * 3406 - u2 * 2276 + kRound) >> 21);
}

}  // namespace

void fdct_islow_plain(std::int16_t* block) {
  for (int row = 0; row < 8; ++row) RowPass(block + row * 8);
  for (int col = 0; col < 8; ++col) ColumnPass(block + col);
}

void quantize_plain(std::int16_t* block, const std::uint16_t* reciprocals) {
  for (int i = 0; i < 64; ++i) {
    const std::int32_t product = static_cast<std::int32_t>(block[i]) * static_cast<std::int32_t>(reciprocals[i]);
    block[i] = static_cast<std::int16_t>((product + 16384) >> 15);
  }
}

void end_of_call_plain() {}

}  // namespace jpeg
