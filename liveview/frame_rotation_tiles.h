// The tile loop every vector quarter-turn kernel shares: which output rows
// a block may load for without reading past a source row, tiles that keep
// the rows read and written in cache, and the plain pixels the blocks leave.
// A kernel's own file includes it after its instruction-set headers and
// gives it a block type:
//
//   struct Block {
//     static constexpr int kSize;          // pixels a side
//     static constexpr int kLoadBytes;     // bytes read from a source row's lowest column
//     static constexpr int kPixelBytes;    // 3 (narrow) or 4 (0xFFRRGGBB)
//     // Output rows y..y+kSize-1, pixels x..x+kSize-1 at `to`; source row i
//     // of the block is at base + i * perX, its lowest column first. With
//     // `spill` it may write past the block's end in each output row, into
//     // at most the next block's pixels (which a later block writes).
//     void operator()(const uint8_t* base, ptrdiff_t perX, uint8_t* to, ptrdiff_t outStep, bool spill) const;
//   };
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "liveview/frame_rotation.h"

namespace rotation_kernels {
// Each kernel's file compiles its own copy with its own instruction set:
// internal linkage keeps the linker from merging them.
namespace {

template <int kPixelBytes>
inline void PutPlainPixel(std::uint8_t* to, const std::uint8_t* from) {
  if constexpr (kPixelBytes == 3) {
    std::memcpy(to, from, 3);
  } else {
    const std::uint32_t pixel = 0xFF000000u | std::uint32_t{from[2]} << 16 | std::uint32_t{from[1]} << 8 | from[0];
    std::memcpy(to, &pixel, 4);
  }
}

// Output tiles of 64 rows (192 bytes of each source row: whole cache lines)
// by 16 pixels (16 source rows).
constexpr int kTileRows = 64;
constexpr int kTileColumns = 16;

// Output (x, y) comes from source byte offset origin + x * perX + y * perY;
// perY is +3 or -3 (along a source row, forwards or backwards), perX +/- a
// row step. `quarterTurns` is 1 or 3.
template <typename Block>
void TurnInTiles(const Block& block, const PixelRows& from, int quarterTurns, std::uint8_t* out,
                 std::ptrdiff_t outStep) {
  constexpr int n = Block::kSize;
  constexpr int bytes = Block::kPixelBytes;
  static_assert(kTileRows % n == 0 && kTileColumns % n == 0);
  const std::ptrdiff_t w = from.width, h = from.height, s = from.step;
  const bool clockwise = quarterTurns == 1;
  const std::ptrdiff_t origin = clockwise ? (h - 1) * s : (w - 1) * 3;
  const std::ptrdiff_t perX = clockwise ? -s : s;
  const std::ptrdiff_t perY = clockwise ? 3 : -3;
  const int outWidth = static_cast<int>(h);
  const int outHeight = static_cast<int>(w);

  // Output row y reads source column y (clockwise) or w-1-y. A block of
  // rows y..y+n-1 loads kLoadBytes from its lowest source column, which must
  // stay inside the row: that column plus loadColumns at most w.
  constexpr int loadColumns = (Block::kLoadBytes + 2) / 3;
  int ySafeBegin = 0;
  int ySafeEnd = outHeight;
  if (clockwise)
    ySafeEnd = std::clamp(static_cast<int>(w) - loadColumns + n, 0, outHeight);  // lowest column y
  else
    ySafeBegin = std::clamp(loadColumns - n, 0, outHeight);  // lowest column w-n-y
  const int ySafeBlocksEnd = ySafeBegin + std::max(0, ySafeEnd - ySafeBegin) / n * n;
  const int xBlocksEnd = outWidth / n * n;

  for (int ty = ySafeBegin; ty < ySafeBlocksEnd; ty += kTileRows) {
    const int tyEnd = std::min(ySafeBlocksEnd, ty + kTileRows);
    for (int tx = 0; tx < xBlocksEnd; tx += kTileColumns) {
      const int txEnd = std::min(xBlocksEnd, tx + kTileColumns);
      for (int y = ty; y < tyEnd; y += n) {
        const std::ptrdiff_t low = clockwise ? y * perY : (y + n - 1) * perY;
        const std::uint8_t* rows = from.top + origin + low;
        std::uint8_t* line = out + y * outStep;
        // Blocks go left to right, so a block's spill is always written over later.
        for (int x = tx; x < txEnd; x += n) block(rows + x * perX, perX, line + x * bytes, outStep, x + n < xBlocksEnd);
      }
    }
  }
  // What the blocks left: the right-hand columns, and the rows near the
  // source rows' ends.
  const auto plainPixel = [&](int x, int y) {
    PutPlainPixel<bytes>(out + y * outStep + x * bytes, from.top + origin + x * perX + y * perY);
  };
  for (int y = ySafeBegin; y < ySafeBlocksEnd; ++y)
    for (int x = xBlocksEnd; x < outWidth; ++x) plainPixel(x, y);
  for (int y = 0; y < outHeight; ++y) {
    if (y >= ySafeBegin && y < ySafeBlocksEnd) continue;
    for (int x = 0; x < outWidth; ++x) plainPixel(x, y);
  }
}

}  // namespace
}  // namespace rotation_kernels
