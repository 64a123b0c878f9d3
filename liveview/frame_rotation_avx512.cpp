// Built with -mavx512f -mavx512bw -mavx512vbmi on x86; nothing here runs
// unless Avx512TurnKernels() gave its kernels. Quarter turns (1 and 3) in the
// blocks of frame_rotation_avx512_blocks.h, a large frame into rows on
// cache lines streamed (frame_rotation_avx512_streamed.cpp), and the
// painted picture's rows widened without a turn.
#include "jpeg/processor_features.h"
#include "liveview/frame_rotation_avx512_blocks.h"
#include "liveview/frame_rotation_kernels.h"

namespace rotation_kernels {
namespace {

void TurnQuarter(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  if (TurnQuarterStreamedAvx512(from, quarterTurns, out, outStep)) return;
  if (quarterTurns == 1)
    TurnInTiles(Block16<3, true>(), from, quarterTurns, out, outStep);
  else
    TurnInTiles(Block16<3, false>(), from, quarterTurns, out, outStep);
}

void WidenRows(const PixelRows& from, std::uint8_t* out, std::ptrdiff_t outStepBytes) {
  // Pixel i's three bytes to 4i..4i+2 (and again to 4i+3, which the alpha overwrites).
  std::array<std::uint8_t, 64> spread{};
  for (int i = 0; i < kBlockPixels; ++i)
    for (int c = 0; c < 4; ++c)
      spread[static_cast<std::size_t>(4 * i + c)] = static_cast<std::uint8_t>(3 * i + std::min(c, 2));
  const __m512i picks = LoadPicks(spread);
  const __m512i opaque = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
  for (int y = 0; y < from.height; ++y) {
    const std::uint8_t* in = from.top + y * from.step;
    std::uint8_t* to = out + y * outStepBytes;
    // Sixteen pixels a masked load: the row's last ones without reading past it.
    for (int x = 0; x < from.width; x += kBlockPixels) {
      const int n = std::min(kBlockPixels, from.width - x);
      const __m512i run = _mm512_maskz_loadu_epi8(~0ull >> (64 - 3 * n), in + 3 * x);
      // The zero-masked form: GCC 12 takes the plain one's undefined pass-through for an uninitialised read.
      const __m512i wide = _mm512_or_si512(_mm512_maskz_permutexvar_epi8(~__mmask64{0}, picks, run), opaque);
      if (n == kBlockPixels)
        _mm512_storeu_si512(to + 4 * x, wide);
      else
        _mm512_mask_storeu_epi8(to + 4 * x, ~0ull >> (64 - 4 * n), wide);
    }
  }
}

void TurnQuarterToRgb32(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStepBytes) {
  if (quarterTurns == 1)
    TurnInTiles(Block16<4, true>(), from, quarterTurns, out, outStepBytes);
  else
    TurnInTiles(Block16<4, false>(), from, quarterTurns, out, outStepBytes);
}

}  // namespace

const TurnKernelSet* Avx512TurnKernels() {
  static constexpr TurnKernelSet kKernels{cpu::KernelSet::kAvx512, TurnQuarter, TurnQuarterToRgb32, WidenRows};
  return cpu::DetectedFeatures().avx512vbmi ? &kKernels : nullptr;
}

}  // namespace rotation_kernels
