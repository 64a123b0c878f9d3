#include "liveview/frame_bitmap.h"

#include <algorithm>
#include <cstring>

#include <QPainter>
#include <QRect>

#include "liveview/frame_rotation.h"

namespace {

void PutLe16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

CFrameBitmap::~CFrameBitmap() = default;

bool CFrameBitmap::Create(int width, int height, int bitsPerPixel) {
  if (width == m_width && height == m_height && bitsPerPixel == m_bitsPerPixel) return true;
  if (width <= 0 || height <= 0 || (bitsPerPixel != 8 && bitsPerPixel != 24)) return false;
  const std::size_t rowBytes = static_cast<std::size_t>(RowBytesFor(width, bitsPerPixel));
  if (rowBytes * static_cast<std::size_t>(height) > kPixelCapacity) return false;

  // Allocate outside the lock, so that a painter waits only for the copy.
  AlignedBytes pixels = MakeAlignedBytes(kPixelCapacity);
  std::memset(pixels.get(), 0, rowBytes * static_cast<std::size_t>(height));

  auto lock = LockBuffers();
  if (m_pixels && bitsPerPixel == m_bitsPerPixel) {
    const std::size_t oldRowBytes = static_cast<std::size_t>(RowBytes());
    const std::size_t copyBytes = std::min(oldRowBytes, rowBytes);
    const int rows = std::min(m_height, height);
    for (int r = 0; r < rows; ++r)
      std::memcpy(pixels.get() + r * rowBytes, m_pixels.get() + r * oldRowBytes, copyBytes);
  }
  m_width = width;
  m_height = height;
  m_bitsPerPixel = bitsPerPixel;
  m_pixels = std::move(pixels);
  BuildPackedBitmap();
  return true;
}

void CFrameBitmap::BuildPackedBitmap() {
  m_displayImage = QImage();
  m_packed.reset();
  m_packedBytes = 0;
  if (m_bitsPerPixel != 24) return;

  const std::uint32_t stride = static_cast<std::uint32_t>(Stride());
  const std::uint32_t imageBytes = stride * static_cast<std::uint32_t>(m_height);
  m_packedBytes = kHeaderBytes + imageBytes;
  // Zeroed, so that the rows' padding bytes are defined.
  m_packed = std::make_unique<std::uint8_t[]>(m_packedBytes);
  std::uint8_t* h = m_packed.get();
  PutLe32(h + 0, kHeaderBytes);
  PutLe32(h + 4, static_cast<std::uint32_t>(m_width));
  PutLe32(h + 8, static_cast<std::uint32_t>(m_height));
  PutLe16(h + 12, 1);
  PutLe16(h + 14, 24);
  PutLe32(h + 20, imageBytes);
  CopyRowsToPacked();
  m_displayImage = QImage(m_width, m_height, QImage::Format_RGB32);
}

void CFrameBitmap::SyncToPackedBitmap() {
  if (m_bitsPerPixel != 8 && m_bitsPerPixel != 24) return;
  if (!m_packed || !m_pixels) return;
  CopyRowsToPacked();
}

void CFrameBitmap::CopyRowsToPacked() {
  const std::size_t rowBytes = static_cast<std::size_t>(RowBytes());
  const std::size_t stride = static_cast<std::size_t>(Stride());
  std::uint8_t* rows = m_packed.get() + kHeaderBytes;
  for (int r = 0; r < m_height; ++r)
    std::memcpy(rows + static_cast<std::size_t>(m_height - 1 - r) * stride, m_pixels.get() + r * rowBytes, rowBytes);
}

int CFrameBitmap::Draw(QPainter& painter) const {
  const QRect whole(0, 0, m_width, m_height);
  return DrawRect(painter, whole, whole);
}

int CFrameBitmap::DrawRect(QPainter& painter, const QRect& source, const QRect& destination) const {
  if (!m_packed || m_displayImage.isNull()) return 0;
  const QRect visible = source & QRect(0, 0, m_width, m_height);
  if (visible.isEmpty() || destination.isEmpty()) return 1;
  // Plain pixel replication when stretching, like deleting rows and columns.
  Paint(painter, visible, destination, source, false);
  return 1;
}

int CFrameBitmap::DrawScaled(QPainter& painter, const QRect& destination) const {
  if (!m_packed || m_displayImage.isNull()) return 0;
  if (destination.isEmpty()) return 1;
  const QRect whole(0, 0, m_width, m_height);
  Paint(painter, whole, destination, whole, true);
  return 1;
}

void CFrameBitmap::Paint(QPainter& painter, const QRect& filled, const QRect& destination, const QRect& source,
                         bool smooth) const {
  FillDisplayImage(filled);
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(destination, m_displayImage, source);
  painter.restore();
}

void CFrameBitmap::FillDisplayImage(const QRect& source) const {
  // One pass that turns the stored rows the right way up and widens each
  // blue-green-red pixel to the 32-bit form the painter copies directly.
  const auto stride = static_cast<std::ptrdiff_t>(Stride());
  const std::uint8_t* rows = m_packed.get() + kHeaderBytes;
  const PixelRows visible{rows + (m_height - 1 - source.top()) * stride + 3 * source.left(), -stride, source.width(),
                          source.height()};
  auto* to = reinterpret_cast<std::uint32_t*>(m_displayImage.scanLine(source.top())) + source.left();
  TurnPixelsToRgb32(visible, 0, to, m_displayImage.bytesPerLine() / 4);
}

int CFrameBitmap::DrawTurned(QPainter& painter, int quarterTurns) const {
  if ((quarterTurns & 3) == 0) return Draw(painter);
  if (!m_packed || m_bitsPerPixel != 24) return 0;
  const TurnedSize size = TurnSize(m_width, m_height, quarterTurns);
  if (m_turnedImage.width() != size.width || m_turnedImage.height() != size.height)
    m_turnedImage = QImage(size.width, size.height, QImage::Format_RGB32);
  const auto stride = static_cast<std::ptrdiff_t>(Stride());
  const PixelRows stored{m_packed.get() + kHeaderBytes + (m_height - 1) * stride, -stride, m_width, m_height};
  TurnPixelsToRgb32(stored, quarterTurns, reinterpret_cast<std::uint32_t*>(m_turnedImage.bits()),
                    m_turnedImage.bytesPerLine() / 4);
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPoint(0, 0), m_turnedImage);
  painter.restore();
  return 1;
}
