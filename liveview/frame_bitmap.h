// The current camera frame, shared by the live-view worker (which writes it)
// and the user-interface thread (which paints, saves, records and prints it).
//
// It keeps two copies of the picture: a top-down pixel buffer of fixed
// capacity that the camera link fills, and a packed bottom-up 24-bit bitmap
// (a 40-byte information header followed by rows padded to 4 bytes) that
// display and file output read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include <QImage>

#include "liveview/aligned_bytes.h"

class QPainter;
class QRect;

class CFrameBitmap {
 public:
  // The largest camera picture, 1024 x 768 x 3 bytes.
  static constexpr std::size_t kPixelCapacity = 0x240000;
  static constexpr std::size_t kHeaderBytes = 40;

  CFrameBitmap() = default;
  virtual ~CFrameBitmap();
  CFrameBitmap(const CFrameBitmap&) = delete;
  CFrameBitmap& operator=(const CFrameBitmap&) = delete;

  // Makes the bitmap this size, keeping the overlapping top-left part of the
  // old picture. Returns at once when nothing changes. Refuses (false, bitmap
  // unchanged) a size that is not positive, a depth other than 8 or 24, or a
  // picture larger than the pixel buffer's capacity. Takes the buffer lock
  // itself: never call it while holding LockBuffers().
  bool Create(int width, int height, int bitsPerPixel);

  // Copies the pixel buffer's rows into the packed bitmap, bottom-up. Callers
  // on a thread that can race a reader hold LockBuffers() around it.
  void SyncToPackedBitmap();

  // Paint the packed bitmap; the caller holds LockBuffers(). The source
  // rectangle is in picture coordinates (top row = 0). DrawRect answers 0 and
  // draws nothing when there is no packed bitmap, 1 otherwise.
  int Draw(QPainter& painter) const;
  int DrawRect(QPainter& painter, const QRect& source, const QRect& destination) const;
  // Paints the picture turned clockwise by `quarterTurns` (1..3; 0 is Draw)
  // at its turned natural size; the caller holds LockBuffers().
  int DrawTurned(QPainter& painter, int quarterTurns) const;
  // The whole picture scaled onto `destination` with smooth filtering, for a
  // window the user has sized; answers like DrawRect. The caller holds
  // LockBuffers().
  int DrawScaled(QPainter& painter, const QRect& destination) const;

  // Held by Create while it replaces the buffers, and by every reader of
  // them on another thread than the worker (painting, saving, recording,
  // printing), so that no reader ever touches a freed buffer.
  [[nodiscard]] std::unique_lock<std::mutex> LockBuffers() const { return std::unique_lock(m_lock); }

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  int BitsPerPixel() const { return m_bitsPerPixel; }
  // Bytes of one row in the pixel buffer (no padding).
  int RowBytes() const { return RowBytesFor(m_width, m_bitsPerPixel); }
  // Bytes of one stored row in the packed bitmap (padded to 4).
  int Stride() const { return StrideFor(m_width, m_bitsPerPixel); }

  std::uint8_t* Pixels() { return m_pixels.get(); }
  const std::uint8_t* Pixels() const { return m_pixels.get(); }
  // The packed bitmap's header, or null when there is none.
  std::uint8_t* PackedBitmap() { return m_packed.get(); }
  const std::uint8_t* PackedBitmap() const { return m_packed.get(); }
  // Header plus rows; 0 when there is no packed bitmap.
  std::size_t PackedBitmapBytes() const { return m_packedBytes; }

  static int RowBytesFor(int width, int bitsPerPixel) { return (width * bitsPerPixel + 7) / 8; }
  static int StrideFor(int width, int bitsPerPixel) { return (RowBytesFor(width, bitsPerPixel) + 3) & ~3; }

 private:
  void BuildPackedBitmap();
  void CopyRowsToPacked();
  void FillDisplayImage(const QRect& source) const;
  // Brings `filled` of the display image up to date and draws its `source`
  // into `destination`, smooth or by pixel replication.
  void Paint(QPainter& painter, const QRect& filled, const QRect& destination, const QRect& source, bool smooth) const;

  int m_width = 0;
  int m_height = 0;
  int m_bitsPerPixel = 0;
  AlignedBytes m_pixels;  // on a cache line, so a turn into it can stream
  std::unique_ptr<std::uint8_t[]> m_packed;
  std::size_t m_packedBytes = 0;
  // The picture in the painter's own pixel format, refilled from the packed
  // rows on every draw (under the buffer lock). Allocated once per size, so
  // drawing a frame allocates nothing, and blitting it needs no conversion.
  mutable QImage m_displayImage;
  // The same for a turned picture, allocated once per turned size.
  mutable QImage m_turnedImage;
  mutable std::mutex m_lock;
};
