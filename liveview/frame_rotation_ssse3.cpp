// Built with -mssse3 on x86; nothing here runs before TurnSsse3Available()
// said yes. Quarter turns (1 and 3) in blocks of 4 x 4 pixels: four source
// runs of four pixels are widened to 32 bits, transposed in registers, and
// narrowed again (or kept wide for painting) into four output rows.
#include "liveview/frame_rotation_kernels.h"

#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif

#include <algorithm>
#include <cstring>

namespace rotation_kernels {

#if defined(__SSSE3__)

namespace {

constexpr int kBlock = 4;
// Output tiles of 32 x 32 pixels keep the source rows they read in cache.
constexpr int kTileBlocks = 8;

inline __m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

struct NarrowStore {
  static void Put(std::uint8_t* to, __m128i wide, __m128i narrow) {
    const __m128i packed = _mm_shuffle_epi8(wide, narrow);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), packed);
    const std::uint32_t tail = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 8)));
    std::memcpy(to + 8, &tail, 4);
  }
  static constexpr std::ptrdiff_t kBytes = 3;
};

struct WideStore {
  static void Put(std::uint8_t* to, __m128i wide, __m128i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_or_si128(wide, _mm_set1_epi32(static_cast<int>(0xFF000000u))));
  }
  static constexpr std::ptrdiff_t kBytes = 4;
};

template <typename Store>
void PutPlain(std::uint8_t* to, const std::uint8_t* from) {
  if constexpr (Store::kBytes == 3) {
    std::memcpy(to, from, 3);
  } else {
    const std::uint32_t pixel = 0xFF000000u | std::uint32_t{from[2]} << 16 | std::uint32_t{from[1]} << 8 | from[0];
    std::memcpy(to, &pixel, 4);
  }
}

// Output (x, y) comes from source byte offset origin + x * perX + y * perY;
// perY is +3 or -3 (a source row, forwards or backwards), perX +/- a row step.
template <typename Store>
void TurnBlocks(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  const std::ptrdiff_t w = from.width, h = from.height, s = from.step;
  const bool clockwise = quarterTurns == 1;
  const std::ptrdiff_t origin = clockwise ? (h - 1) * s : (w - 1) * 3;
  const std::ptrdiff_t perX = clockwise ? -s : s;
  const std::ptrdiff_t perY = clockwise ? 3 : -3;
  const int outWidth = static_cast<int>(h);
  const int outHeight = static_cast<int>(w);

  // Output row y reads source column c(y) = y (clockwise) or w-1-y. A block
  // loads 16 bytes from its lowest source column; that stays inside the
  // source row while the lowest column is at most w - 6.
  int ySafeBegin = 0;
  int ySafeEnd = outHeight;
  if (clockwise) ySafeEnd = std::max(0, static_cast<int>(w) - 5);  // lowest column y
  else ySafeBegin = std::min(outHeight, 2);                         // lowest column w-4-y
  const int ySafeBlocksEnd = ySafeBegin + (ySafeEnd - ySafeBegin) / kBlock * kBlock;
  const int xBlocksEnd = outWidth / kBlock * kBlock;

  const __m128i widen = clockwise ? _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1)
                                  : _mm_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1);
  const __m128i narrow = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);

  const auto plainPixel = [&](int x, int y) {
    PutPlain<Store>(out + y * outStep + x * Store::kBytes, from.top + origin + x * perX + y * perY);
  };

  constexpr int kTile = kBlock * kTileBlocks;
  for (int ty = ySafeBegin; ty < ySafeBlocksEnd; ty += kTile) {
    const int tyEnd = std::min(ySafeBlocksEnd, ty + kTile);
    for (int tx = 0; tx < xBlocksEnd; tx += kTile) {
      const int txEnd = std::min(xBlocksEnd, tx + kTile);
      for (int y = ty; y < tyEnd; y += kBlock) {
        // The lowest of the four source columns this block row reads.
        const std::ptrdiff_t low = clockwise ? y * perY : (y + 3) * perY;
        for (int x = tx; x < txEnd; x += kBlock) {
          const std::uint8_t* base = from.top + origin + low + x * perX;
          const __m128i v0 = _mm_shuffle_epi8(Load16(base), widen);
          const __m128i v1 = _mm_shuffle_epi8(Load16(base + perX), widen);
          const __m128i v2 = _mm_shuffle_epi8(Load16(base + 2 * perX), widen);
          const __m128i v3 = _mm_shuffle_epi8(Load16(base + 3 * perX), widen);
          const __m128i t0 = _mm_unpacklo_epi32(v0, v1);
          const __m128i t1 = _mm_unpacklo_epi32(v2, v3);
          const __m128i t2 = _mm_unpackhi_epi32(v0, v1);
          const __m128i t3 = _mm_unpackhi_epi32(v2, v3);
          std::uint8_t* to = out + y * outStep + x * Store::kBytes;
          Store::Put(to, _mm_unpacklo_epi64(t0, t1), narrow);
          Store::Put(to + outStep, _mm_unpackhi_epi64(t0, t1), narrow);
          Store::Put(to + 2 * outStep, _mm_unpacklo_epi64(t2, t3), narrow);
          Store::Put(to + 3 * outStep, _mm_unpackhi_epi64(t2, t3), narrow);
        }
      }
    }
  }
  // What the blocks left: the right-hand columns, and the rows near the
  // source rows' ends.
  for (int y = ySafeBegin; y < ySafeBlocksEnd; ++y)
    for (int x = xBlocksEnd; x < outWidth; ++x) plainPixel(x, y);
  for (int y = 0; y < outHeight; ++y) {
    if (y >= ySafeBegin && y < ySafeBlocksEnd) continue;
    for (int x = 0; x < outWidth; ++x) plainPixel(x, y);
  }
}

}  // namespace

bool TurnSsse3Available() { return __builtin_cpu_supports("ssse3"); }

void TurnQuarterSsse3(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  TurnBlocks<NarrowStore>(from, quarterTurns, out, outStep);
}

void TurnQuarterToRgb32Ssse3(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes) {
  TurnBlocks<WideStore>(from, quarterTurns, out, outStepBytes);
}

#else

bool TurnSsse3Available() { return false; }
void TurnQuarterSsse3(const PixelRows&, int, std::uint8_t*, std::ptrdiff_t) {}
void TurnQuarterToRgb32Ssse3(const PixelRows&, int, std::uint8_t*, std::ptrdiff_t) {}

#endif

}  // namespace rotation_kernels
