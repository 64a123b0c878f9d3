// Built with -mavx512f -mavx512bw -mavx512vbmi on x86; nothing here runs
// unless Avx512TurnKernels() gave its kernels. The quarter turn of a large
// frame into rows on cache lines.
//
// What bounds a large turn is memory, not the permutes: a block writes 48
// bytes into each of sixteen output rows, so every output line is read
// before it is written, in parts, by two blocks. Here four blocks side by
// side make a wide block, whose row pieces blend into whole lines stored
// past the cache, and the source is read through a small copy whose rows
// do not crowd the cache's sets.
#include "liveview/frame_rotation_avx512_blocks.h"
#include "liveview/frame_rotation_kernels.h"

namespace rotation_kernels {
namespace {

// Four blocks side by side: 16 output rows of 64 pixels, 192 bytes a row,
// from 64 source rows. Block b's row piece is placed at byte 48 * b of the
// row taken mod 64, so two neighbouring pieces blend into one whole line;
// each row is stored as three whole lines that bypass the cache.
template <bool kClockwise>
struct WideBlock {
  static constexpr int kPixels = 4 * kBlockPixels;

  WideBlock()
      : halfRows{HalfRowPicks(0, false), HalfRowPicks(1, false)},
        shiftedHalfRows{HalfRowPicks(0, true), HalfRowPicks(1, true)} {
    for (int b = 0; b < 4; ++b)
      for (int row = 0; row < 2; ++row) placedRows[b][row] = NarrowRowPicks(row, 6 * b);
  }

  // `to` is 64-byte aligned, and so is every row after it.
  void operator()(const std::uint8_t* base, std::ptrdiff_t perX, std::uint8_t* to, std::ptrdiff_t outStep) const {
    asm("" : "+r"(base), "+r"(to));
    const std::ptrdiff_t lineStep = kClockwise ? outStep : -outStep;
    std::uint8_t* const firstLine = kClockwise ? to : to + (kBlockPixels - 1) * outStep;
    const auto store = [](std::uint8_t* at, __m512i line) {
      _mm512_stream_si512(reinterpret_cast<__m512i*>(at), line);
    };
    for (int g = 0; g < kBlockPixels / kGroupPixels; ++g) {
      const bool last = g == kBlockPixels / kGroupPixels - 1;
      const std::uint8_t* rows = base + 3 * kGroupPixels * g - (last ? 4 : 0);
      const __m512i* picks = last ? shiftedHalfRows : halfRows;
      std::uint8_t* const lines = firstLine + kGroupPixels * g * lineStep;
      // Pieces 0 and 1 make the first line of each row, 1 and 2 the second,
      // 2 and 3 the third: two blocks' pieces are held at a time.
      __m512i even[kGroupPixels], odd[kGroupPixels];
      GroupRows<false>(rows, perX, picks, placedRows[0], even);
      GroupRows<false>(rows + 16 * perX, perX, picks, placedRows[1], odd);
      for (int j = 0; j < 4; ++j) store(lines + j * lineStep, _mm512_mask_blend_epi8(~0ull << 48, even[j], odd[j]));
      GroupRows<false>(rows + 32 * perX, perX, picks, placedRows[2], even);
      for (int j = 0; j < 4; ++j)
        store(lines + j * lineStep + 64, _mm512_mask_blend_epi8(~0ull << 32, odd[j], even[j]));
      GroupRows<false>(rows + 48 * perX, perX, picks, placedRows[3], odd);
      for (int j = 0; j < 4; ++j)
        store(lines + j * lineStep + 128, _mm512_mask_blend_epi8(~0ull << 16, even[j], odd[j]));
    }
  }

  __m512i halfRows[2], shiftedHalfRows[2], placedRows[4][2];
};

// Stores past the cache pay only for a frame larger than the caches keep:
// they save reading each output line before writing it, a third of the
// memory traffic, and a frame that size would not stay cached anyway.
constexpr std::size_t kStreamFromBytes = std::size_t{1} << 20;

bool StreamsInto(const std::uint8_t* out, std::ptrdiff_t outStep, int outHeight) {
  return reinterpret_cast<std::uintptr_t>(out) % 64 == 0 && outStep > 0 && outStep % 64 == 0 &&
         static_cast<std::size_t>(outStep) * static_cast<std::size_t>(outHeight) >= kStreamFromBytes;
}

// Copies the source runs of a tile of 64 x 64 output pixels, 64 runs of 192
// bytes (whole lines, each read once and in order), into rows 192 bytes
// apart. Rows of a 1024-pixel frame are 3072 bytes apart, so every fourth
// row falls on the same first-level cache sets: a wide block's 64 rows put
// sixteen lines on sets that hold twelve, and evict each other's lines
// before the next block down the strip needs them. The copy's rows spread
// over every set.
template <int kTile>
struct StagedTile {
  static constexpr std::ptrdiff_t kRowBytes = 3 * kTile;

  void Fill(const std::uint8_t* rows, std::ptrdiff_t perX) {
    for (int r = 0; r < kTile; ++r, rows += perX)
      for (int b = 0; b < kRowBytes; b += 64)
        _mm512_store_si512(bytes + kRowBytes * r + b, _mm512_loadu_si512(rows + b));
  }

  alignas(64) std::uint8_t bytes[kTile * kRowBytes];
};

// Block rows in tiles, column strip by column strip (64 source rows read
// along, each in order), the rows after the last whole tile in wide blocks
// from the frame itself, then the columns after the last wide block in
// narrow blocks and plain pixels.
template <bool kClockwise>
void TurnStreamed(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  using Narrow = Block16<3, kClockwise>;
  constexpr int kTile = WideBlock<kClockwise>::kPixels;
  constexpr int kBlocksDown = kTile / kBlockPixels;
  const BlockWalk walk = WalkInBlocks<Narrow>(from, quarterTurns);
  const int wideEnd = walk.outWidth / kTile * kTile;
  const int tileRowsEnd = walk.blockRowsBegin + (walk.blockRowsEnd - walk.blockRowsBegin) / kTile * kTile;
  const WideBlock<kClockwise> wide;
  StagedTile<kTile> staged;
  const auto lowest = [&](int y, int rows) { return kClockwise ? y * walk.perY : (y + rows - 1) * walk.perY; };
  for (int x = 0; x < wideEnd; x += kTile) {
    const std::uint8_t* strip = from.top + walk.origin + x * walk.perX;
    std::uint8_t* const to = out + x * 3;
    for (int y = walk.blockRowsBegin; y < tileRowsEnd; y += kTile) {
      staged.Fill(strip + lowest(y, kTile), walk.perX);
      // Block i down the tile starts 16 * i columns from the tile's lowest
      // column turning clockwise, 16 * i from its highest the other way.
      for (int i = 0; i < kBlocksDown; ++i) {
        const int column = kClockwise ? kBlockPixels * i : kBlockPixels * (kBlocksDown - 1 - i);
        wide(staged.bytes + 3 * column, StagedTile<kTile>::kRowBytes, to + (y + kBlockPixels * i) * outStep, outStep);
      }
    }
    for (int y = tileRowsEnd; y < walk.blockRowsEnd; y += kBlockPixels)
      wide(strip + lowest(y, kBlockPixels), walk.perX, to + y * outStep, outStep);
  }
  _mm_sfence();  // the streamed lines are seen before anything written after
  TurnInTiles(Narrow(), from, quarterTurns, out, outStep, wideEnd);
}

}  // namespace

bool TurnQuarterStreamedAvx512(const PixelRows& from, int quarterTurns, std::uint8_t* out, std::ptrdiff_t outStep) {
  if (!StreamsInto(out, outStep, from.width)) return false;
  if (quarterTurns == 1)
    TurnStreamed<true>(from, quarterTurns, out, outStep);
  else
    TurnStreamed<false>(from, quarterTurns, out, outStep);
  return true;
}

}  // namespace rotation_kernels
