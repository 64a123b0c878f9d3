// Built with -mavx2 on x86; nothing here runs before TurnAvx2Available()
// said yes. Quarter turns (1 and 3) in blocks of 8 x 8 pixels: eight source
// runs of eight pixels are widened to 32 bits, transposed in registers, and
// narrowed again (or kept wide for painting) into eight output rows.
#include "liveview/frame_rotation_kernels.h"

#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>

namespace rotation_kernels {

#if defined(__AVX2__)

namespace {

constexpr int kBlock = 8;
// Output tiles of 32 x 32 pixels keep the source rows they read in cache.
constexpr int kTileBlocks = 4;

inline __m256i Load32(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

struct NarrowStore {
  static void Put(std::uint8_t* to, __m256i wide, __m256i narrow, __m256i gather) {
    // Twelve bytes at the bottom of each half, then the halves side by side.
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(wide, narrow), gather);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 16), _mm256_extracti128_si256(packed, 1));
  }
  static constexpr std::ptrdiff_t kBytes = 3;
};

struct WideStore {
  static void Put(std::uint8_t* to, __m256i wide, __m256i, __m256i) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                        _mm256_or_si256(wide, _mm256_set1_epi32(static_cast<int>(0xFF000000u))));
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

  // Output row y reads source column y (clockwise) or w-1-y. A block loads
  // 32 bytes from its lowest source column; that stays inside the source
  // row while the lowest column is at most w - 11.
  int ySafeBegin = 0;
  int ySafeEnd = outHeight;
  if (clockwise) ySafeEnd = std::max(0, static_cast<int>(w) - 10);  // lowest column y
  else ySafeBegin = std::min(outHeight, 3);                         // lowest column w-8-y
  const int ySafeBlocksEnd = ySafeBegin + (ySafeEnd - ySafeBegin) / kBlock * kBlock;
  const int xBlocksEnd = outWidth / kBlock * kBlock;

  // Pixels 0-3 of the run into the low half, 4-7 into the high half (for a
  // backward run, the run's last four pixels first), then each widened.
  const __m256i halves = clockwise ? _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6) : _mm256_setr_epi32(3, 4, 5, 6, 0, 1, 2, 3);
  const __m256i widen =
      clockwise ? _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7,
                                   8, -1, 9, 10, 11, -1)
                : _mm256_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1, 9, 10, 11, -1, 6, 7, 8, -1, 3,
                                   4, 5, -1, 0, 1, 2, -1);
  const __m256i narrow = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8,
                                          9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i gather = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);

  const auto plainPixel = [&](int x, int y) {
    PutPlain<Store>(out + y * outStep + x * Store::kBytes, from.top + origin + x * perX + y * perY);
  };

  constexpr int kTile = kBlock * kTileBlocks;
  for (int ty = ySafeBegin; ty < ySafeBlocksEnd; ty += kTile) {
    const int tyEnd = std::min(ySafeBlocksEnd, ty + kTile);
    for (int tx = 0; tx < xBlocksEnd; tx += kTile) {
      const int txEnd = std::min(xBlocksEnd, tx + kTile);
      for (int y = ty; y < tyEnd; y += kBlock) {
        const std::ptrdiff_t low = clockwise ? y * perY : (y + kBlock - 1) * perY;
        for (int x = tx; x < txEnd; x += kBlock) {
          const std::uint8_t* base = from.top + origin + low + x * perX;
          __m256i v[kBlock];
          for (int i = 0; i < kBlock; ++i)
            v[i] = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(Load32(base + i * perX), halves), widen);
          __m256i t[kBlock];
          for (int i = 0; i < kBlock; i += 2) {
            t[i] = _mm256_unpacklo_epi32(v[i], v[i + 1]);
            t[i + 1] = _mm256_unpackhi_epi32(v[i], v[i + 1]);
          }
          __m256i u[kBlock];
          for (int i = 0; i < kBlock; i += 4) {
            u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
            u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
            u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
            u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
          }
          std::uint8_t* to = out + y * outStep + x * Store::kBytes;
          for (int j = 0; j < 4; ++j) {
            Store::Put(to + j * outStep, _mm256_permute2x128_si256(u[j], u[j + 4], 0x20), narrow, gather);
            Store::Put(to + (j + 4) * outStep, _mm256_permute2x128_si256(u[j], u[j + 4], 0x31), narrow, gather);
          }
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

bool TurnAvx2Available() { return __builtin_cpu_supports("avx2"); }

void TurnQuarterAvx2(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  TurnBlocks<NarrowStore>(from, quarterTurns, out, outStep);
}

void TurnQuarterToRgb32Avx2(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes) {
  TurnBlocks<WideStore>(from, quarterTurns, out, outStepBytes);
}

#else

bool TurnAvx2Available() { return false; }
void TurnQuarterAvx2(const PixelRows&, int, std::uint8_t*, std::ptrdiff_t) {}
void TurnQuarterToRgb32Avx2(const PixelRows&, int, std::uint8_t*, std::ptrdiff_t) {}

#endif

}  // namespace rotation_kernels
