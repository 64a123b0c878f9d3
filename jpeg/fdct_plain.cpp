#include "jpeg/kernels.h"

namespace jpeg {

namespace {

// One pass over eight values kStride apart: the row pass scales its results
// by 8 so the column pass keeps its precision; the column pass removes that
// scaling (>> 6 and >> 21 instead of >> 12).
template <bool kColumnPass>
inline void TransformPass(std::int16_t* p) {
  constexpr int kStride = kColumnPass ? 8 : 1;
  constexpr int kShift = kColumnPass ? 21 : 12;
  constexpr std::int32_t kRound = 1 << (kShift - 1);
  const auto even = [](std::int32_t v) { return kColumnPass ? (v + 32) >> 6 : v * 8; };
  const auto store = [p](int k, std::int32_t v) { p[k * kStride] = static_cast<std::int16_t>(v); };
  const std::int32_t x0 = p[0], x1 = p[kStride], x2 = p[2 * kStride], x3 = p[3 * kStride];
  const std::int32_t x4 = p[4 * kStride], x5 = p[5 * kStride], x6 = p[6 * kStride], x7 = p[7 * kStride];
  const std::int32_t s07 = x0 + x7, s34 = x3 + x4, s16 = x1 + x6, s25 = x2 + x5;
  const std::int32_t e0 = s07 - s34, e1 = s16 - s25;
  const std::int32_t t = ((x0 - x7) * 46341 + 2048) >> 12;
  const std::int32_t u = ((x3 - x4) * 46341 + 2048) >> 12;
  const std::int32_t v = (x1 + x2 - x5 - x6) * 8;
  const std::int32_t a = (x1 + x5 - x2 - x6) * 8;
  const std::int32_t w = v + t, z = a + u;
  const std::int32_t t2 = t - v, u2 = u - a;
  store(0, even(s07 + s34 + s16 + s25));
  store(4, even(s07 + s34 - s16 - s25));
  store(2, (e0 * 42813 + e1 * 17734 + kRound) >> kShift);
  store(6, (e0 * 17734 - e1 * 42813 + kRound) >> kShift);
  store(1, (w * 4017 + z * 799 + kRound) >> kShift);
  store(7, (w * 799 - z * 4017 + kRound) >> kShift);
  store(5, (t2 * 2276 + u2 * 3406 + kRound) >> kShift);
  store(3, (t2 * 3406 - u2 * 2276 + kRound) >> kShift);
}

}  // namespace

void fdct_islow_plain(std::int16_t* block) {
  for (int row = 0; row < 8; ++row) TransformPass<false>(block + row * 8);
  for (int col = 0; col < 8; ++col) TransformPass<true>(block + col);
}

void quantize_plain(std::int16_t* block, const std::uint16_t* reciprocals) {
  for (int i = 0; i < 64; ++i) {
    const std::int32_t product = static_cast<std::int32_t>(block[i]) * static_cast<std::int32_t>(reciprocals[i]);
    block[i] = static_cast<std::int16_t>((product + 16384) >> 15);
  }
}

void end_of_call_plain() {}

}  // namespace jpeg
