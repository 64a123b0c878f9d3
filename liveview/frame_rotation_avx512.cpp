// Built with -mavx512f -mavx512bw -mavx512vbmi on x86; nothing here runs
// before TurnAvx512Available() said yes. Quarter turns (1 and 3) in blocks
// of 16 x 16 pixels, in four groups of four source pixels (four output
// rows). The loads do the first step of the transpose: each 128-bit lane of
// a register gets four pixels of its own source row, so one register holds
// a 4 x 4 corner. Two rounds of two-register byte permutes then gather the
// sixteen rows' pixels: the first pairs two corners into half rows of two
// output rows, the second pairs two half rows into a whole output row,
// widened to 0xFFRRGGBB in the same permute when the output is painted.
// Half the permutes of a plain 16 x 16 transpose; the four 16-byte loads
// per corner, from rows a row step apart, now cost about as much as the
// permutes.
#include "liveview/frame_rotation_kernels.h"

#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__AVX512VBMI__)
#include <immintrin.h>

#include <array>

#include "liveview/frame_rotation_tiles.h"
#define TAVROCAM_ROTATION_AVX512 1
#endif

namespace rotation_kernels {

#if defined(TAVROCAM_ROTATION_AVX512)

namespace {

constexpr int kBlockPixels = 16;
constexpr int kGroupPixels = 4;                  // pixels of a source row per lane
constexpr __mmask64 kRunBytes = 0xFFFFFFFFFFFF;  // the 48 bytes of sixteen pixels

__m512i LoadPicks(const std::array<std::uint8_t, 64>& picks) { return _mm512_loadu_si512(picks.data()); }

// First round: corners of source rows 0-3 and 4-7 (or 8-11 and 12-15), both
// of pixel group g, into output rows 2 * pair and 2 * pair + 1 of the group,
// eight source rows each. The last group's lanes start 4 bytes early (its
// loads end at the run's end), `shifted`.
__m512i HalfRowPicks(int pair, bool shifted) {
  std::array<std::uint8_t, 64> picks{};
  for (int d = 0; d < 48; ++d) {
    const int outRow = 2 * pair + d / 24;
    const int sourceRow = d % 24 / 3;  // of the eight
    const int fromRegister = sourceRow / 4;
    const int lane = sourceRow % 4;
    picks[static_cast<std::size_t>(d)] =
        static_cast<std::uint8_t>(64 * fromRegister + 16 * lane + 3 * outRow + d % 3 + (shifted ? 4 : 0));
  }
  return LoadPicks(picks);
}

// Second round: output row `outRow % 2` of a half-row pair from source rows
// 0-7 and 8-15, `outBytes` a pixel (4: the alpha byte is set after).
__m512i WholeRowPicks(int outRow, int outBytes) {
  std::array<std::uint8_t, 64> picks{};
  for (int i = 0; i < kBlockPixels; ++i)
    for (int c = 0; c < outBytes; ++c)
      picks[static_cast<std::size_t>(outBytes * i + c)] =
          static_cast<std::uint8_t>(64 * (i / 8) + 24 * (outRow % 2) + 3 * (i % 8) + std::min(c, 2));
  return LoadPicks(picks);
}

template <int kBytes, bool kClockwise>
struct Block16 {
  static constexpr int kSize = kBlockPixels;
  static constexpr int kLoadBytes = 48;  // the last group's lanes end at the run's end
  static constexpr int kPixelBytes = kBytes;

  Block16()
      : halfRows{HalfRowPicks(0, false), HalfRowPicks(1, false)},
        shiftedHalfRows{HalfRowPicks(0, true), HalfRowPicks(1, true)},
        wholeRows{WholeRowPicks(0, kBytes), WholeRowPicks(1, kBytes)} {}

#pragma GCC diagnostic push
  // GCC 12 takes the "undefined" upper half inside _mm512_inserti64x4 for an
  // uninitialised read; every byte of the result is set.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
  // Lane l: four pixels of the source row at rows + l * perX, lowest column
  // first. Two 128-bit inserts and one 256-bit insert: cheaper here than
  // masked broadcasts, which each cost a 512-bit blend.
  [[gnu::always_inline]] static __m512i Corner(const std::uint8_t* rows, std::ptrdiff_t perX, std::ptrdiff_t perX3) {
    const auto lane = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
    const __m256i low = _mm256_inserti128_si256(_mm256_castsi128_si256(lane(rows)), lane(rows + perX), 1);
    const __m256i high = _mm256_inserti128_si256(_mm256_castsi128_si256(lane(rows + 2 * perX)), lane(rows + perX3), 1);
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
  }
#pragma GCC diagnostic pop

  template <bool kSpill>
  [[gnu::always_inline]] static void Put(std::uint8_t* line, __m512i row) {
    if constexpr (kBytes == 4) {
      _mm512_storeu_si512(line, _mm512_or_si512(row, _mm512_set1_epi32(static_cast<int>(0xFF000000u))));
    } else if constexpr (kSpill) {
      _mm512_storeu_si512(line, row);  // 16 bytes over the next block's pixels, written after
    } else {
      _mm512_mask_storeu_epi8(line, kRunBytes, row);
    }
  }

  template <bool kSpill>
  [[gnu::always_inline]] void Turn(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to,
                                   std::ptrdiff_t outStep) const {
    // Addresses from these two each block: left to itself the compiler keeps
    // one running pointer per row, more than there are registers.
    asm("" : "+r"(base), "+r"(to));
    const std::ptrdiff_t perX3 = 3 * perX;
    // Output row of source pixel p: p turning clockwise, 15 - p the other way.
    const std::ptrdiff_t lineStep = kClockwise ? outStep : -outStep;
    const std::ptrdiff_t lineStep3 = 3 * lineStep;
    std::uint8_t* const firstLine = kClockwise ? to : to + (kBlockPixels - 1) * outStep;
#pragma GCC unroll 4
    for (int g = 0; g < kBlockPixels / kGroupPixels; ++g) {
      const bool last = g == kBlockPixels / kGroupPixels - 1;
      const std::uint8_t* rows = base + 3 * kGroupPixels * g - (last ? 4 : 0);
      const __m512i* picks = last ? shiftedHalfRows : halfRows;
      const __m512i c0 = Corner(rows, perX, perX3);
      const __m512i c1 = Corner(rows + 4 * perX, perX, perX3);
      const __m512i c2 = Corner(rows + 8 * perX, perX, perX3);
      const __m512i c3 = Corner(rows + 12 * perX, perX, perX3);
      const __m512i upper01 = _mm512_permutex2var_epi8(c0, picks[0], c1);
      const __m512i upper23 = _mm512_permutex2var_epi8(c0, picks[1], c1);
      const __m512i lower01 = _mm512_permutex2var_epi8(c2, picks[0], c3);
      const __m512i lower23 = _mm512_permutex2var_epi8(c2, picks[1], c3);
      std::uint8_t* const lines = firstLine + kGroupPixels * g * lineStep;
      Put<kSpill>(lines, _mm512_permutex2var_epi8(upper01, wholeRows[0], lower01));
      Put<kSpill>(lines + lineStep, _mm512_permutex2var_epi8(upper01, wholeRows[1], lower01));
      Put<kSpill>(lines + 2 * lineStep, _mm512_permutex2var_epi8(upper23, wholeRows[0], lower23));
      Put<kSpill>(lines + lineStep3, _mm512_permutex2var_epi8(upper23, wholeRows[1], lower23));
    }
  }

  // The spill choice once a block, not once a store.
  void operator()(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to, std::ptrdiff_t outStep,
                  bool spill) const {
    if (spill)
      Turn<true>(base, perX, to, outStep);
    else
      Turn<false>(base, perX, to, outStep);
  }

  __m512i halfRows[2], shiftedHalfRows[2], wholeRows[2];
};

}  // namespace

bool TurnAvx512Available() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi");
}

void TurnQuarterAvx512(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  if (quarterTurns == 1)
    TurnInTiles(Block16<3, true>(), from, quarterTurns, out, outStep);
  else
    TurnInTiles(Block16<3, false>(), from, quarterTurns, out, outStep);
}

void TurnQuarterToRgb32Avx512(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes) {
  if (quarterTurns == 1)
    TurnInTiles(Block16<4, true>(), from, quarterTurns, out, outStepBytes);
  else
    TurnInTiles(Block16<4, false>(), from, quarterTurns, out, outStepBytes);
}

#else

bool TurnAvx512Available() { return false; }
void TurnQuarterAvx512(const PixelRows&, int, std::uint8_t*, std::ptrdiff_t) {}
void TurnQuarterToRgb32Avx512(const PixelRows&, int, std::uint8_t*, std::ptrdiff_t) {}

#endif

}  // namespace rotation_kernels
