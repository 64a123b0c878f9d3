#include "liveview/frame_snapshot.h"

#include "liveview/frame_bitmap.h"
#include "liveview/frame_rotation.h"

bool TakeTurnedSnapshot(const CFrameBitmap& shown, int quarterTurns, CFrameBitmap& into) {
  {
    const auto lock = shown.LockBuffers();
    const std::uint8_t* packed = shown.PackedBitmap();
    if (packed == nullptr || shown.BitsPerPixel() != 24) return false;
    const int width = shown.Width();
    const int height = shown.Height();
    const TurnedSize size = TurnSize(width, height, quarterTurns);
    if (!into.Create(size.width, size.height, 24)) return false;
    // The packed rows, not the pixel buffer: the worker fills the buffer
    // without the lock, the packed rows change only under it.
    const auto stride = static_cast<std::ptrdiff_t>(shown.Stride());
    const PixelRows stored{packed + CFrameBitmap::kHeaderBytes + (height - 1) * stride, -stride, width, height};
    TurnPixels(stored, quarterTurns, into.Pixels(), into.RowBytes());
  }
  const auto lock = into.LockBuffers();
  into.SyncToPackedBitmap();
  return true;
}
