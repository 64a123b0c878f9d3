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
// row step. Blocks of n x n may turn output rows blockRowsBegin up to
// blockRowsEnd (a whole number of blocks): the others would load past a
// source row's end. `quarterTurns` is 1 or 3.
struct BlockWalk {
  std::ptrdiff_t origin = 0;
  std::ptrdiff_t perX = 0;
  std::ptrdiff_t perY = 0;
  int outWidth = 0;
  int outHeight = 0;
  int blockRowsBegin = 0;
  int blockRowsEnd = 0;
};

template <typename Block>
BlockWalk WalkInBlocks(const PixelRows& from, int quarterTurns) {
  constexpr int n = Block::kSize;
  const std::ptrdiff_t w = from.width, h = from.height, s = from.step;
  const bool clockwise = quarterTurns == 1;
  BlockWalk walk{.origin = clockwise ? (h - 1) * s : (w - 1) * 3,
                 .perX = clockwise ? -s : s,
                 .perY = clockwise ? 3 : -3,
                 .outWidth = static_cast<int>(h),
                 .outHeight = static_cast<int>(w)};
  // Output row y reads source column y (clockwise) or w-1-y. A block of
  // rows y..y+n-1 loads kLoadBytes from its lowest source column, which must
  // stay inside the row: that column plus loadColumns at most w.
  constexpr int loadColumns = (Block::kLoadBytes + 2) / 3;
  int ySafeBegin = 0;
  int ySafeEnd = walk.outHeight;
  if (clockwise)
    ySafeEnd = std::clamp(static_cast<int>(w) - loadColumns + n, 0, walk.outHeight);  // lowest column y
  else
    ySafeBegin = std::clamp(loadColumns - n, 0, walk.outHeight);  // lowest column w-n-y
  walk.blockRowsBegin = ySafeBegin;
  walk.blockRowsEnd = ySafeBegin + std::max(0, ySafeEnd - ySafeBegin) / n * n;
  return walk;
}

// Turns the whole picture: blocks from output column `firstColumn` (a
// multiple of the block size; a kernel may have turned the columns before
// it in the block rows itself), plain pixels for the rest.
template <typename Block>
void TurnInTiles(const Block& block, const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep,
                 int firstColumn = 0) {
  constexpr int n = Block::kSize;
  constexpr int bytes = Block::kPixelBytes;
  static_assert(kTileRows % n == 0 && kTileColumns % n == 0);
  const bool clockwise = quarterTurns == 1;
  const BlockWalk walk = WalkInBlocks<Block>(from, quarterTurns);
  const int xBlocksEnd = walk.outWidth / n * n;

  for (int ty = walk.blockRowsBegin; ty < walk.blockRowsEnd; ty += kTileRows) {
    const int tyEnd = std::min(walk.blockRowsEnd, ty + kTileRows);
    for (int tx = firstColumn; tx < xBlocksEnd; tx += kTileColumns) {
      const int txEnd = std::min(xBlocksEnd, tx + kTileColumns);
      for (int y = ty; y < tyEnd; y += n) {
        const std::ptrdiff_t low = clockwise ? y * walk.perY : (y + n - 1) * walk.perY;
        const std::uint8_t* rows = from.top + walk.origin + low;
        std::uint8_t* line = out + y * outStep;
        // Blocks go left to right, so a block's spill is always written over later.
        for (int x = tx; x < txEnd; x += n)
          block(rows + x * walk.perX, walk.perX, line + x * bytes, outStep, x + n < xBlocksEnd);
      }
    }
  }
  // What the blocks left: the right-hand columns, and the rows near the
  // source rows' ends.
  const auto plainPixel = [&](int x, int y) {
    PutPlainPixel<bytes>(out + y * outStep + x * bytes, from.top + walk.origin + x * walk.perX + y * walk.perY);
  };
  for (int y = walk.blockRowsBegin; y < walk.blockRowsEnd; ++y)
    for (int x = xBlocksEnd; x < walk.outWidth; ++x) plainPixel(x, y);
  for (int y = 0; y < walk.outHeight; ++y) {
    if (y >= walk.blockRowsBegin && y < walk.blockRowsEnd) continue;
    for (int x = 0; x < walk.outWidth; ++x) plainPixel(x, y);
  }
}

// A set's turn, narrow (3 bytes a pixel) or painted (4), in blocks made
// for the turn's direction: a TurnKernelSet's entry.
template <template <int> class Block, int kPixelBytes>
void TurnInBlocks(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  TurnInTiles(Block<kPixelBytes>(quarterTurns == 1), from, quarterTurns, out, outStep);
}

}  // namespace
}  // namespace rotation_kernels
