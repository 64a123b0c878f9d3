#include "server/still_encoding.h"

#include <cstring>

#include "jpeg/bgr_encoder.h"
#include "liveview/frame_bitmap.h"
#include "output/bmp_file.h"

namespace server {

namespace {

bool WellFormed(const PictureView& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.rowBytes < picture.width * 3) return false;
  const auto needed = static_cast<std::size_t>(picture.rowBytes) * static_cast<std::size_t>(picture.height);
  return picture.pixels.size() >= needed && needed <= CFrameBitmap::kPixelCapacity;
}

}  // namespace

bool CStillJpegEncoder::Encode(const PictureView& picture, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!m_encoder.Ready() || !WellFormed(picture)) return false;
  // The encoder writes into a scratch area kept from call to call, and the
  // file is copied out at its own size: a stream encodes every frame, and a
  // fresh raw-sized buffer each time would be cleared for nothing and would
  // leave the heap ragged. A baseline file at quality 75 stays well under the
  // raw size; the slack covers headers of tiny pictures. A second try doubles it.
  const std::size_t first = static_cast<std::size_t>(picture.width) * picture.height * 3 / 2 + 4096;
  if (m_scratch.size() < first) m_scratch.resize(first);
  std::int32_t produced = 0;
  // Top-down rows, as the view holds them.
  const std::int32_t result = m_encoder.EncodeToBuffer({.pixels = picture.pixels.data(),
                                                        .width = picture.width,
                                                        .height = picture.height,
                                                        .rowPad = picture.rowBytes - 3 * picture.width},
                                                       kStillJpegQuality, m_scratch, produced);
  if (result != JpegSuccess || produced <= 0) return false;
  out.assign(m_scratch.begin(), m_scratch.begin() + produced);
  return true;
}

std::string BmpFileOf(const PictureView& picture) {
  if (!WellFormed(picture)) return {};
  // The frame bitmap builds the packed bitmap; the file is its header in
  // front of it, exactly what the still writer puts on disk.
  CFrameBitmap bitmap;
  if (!bitmap.Create(picture.width, picture.height, 24)) return {};
  const auto rowBytes = static_cast<std::size_t>(bitmap.RowBytes());
  for (int r = 0; r < picture.height; ++r)
    std::memcpy(bitmap.Pixels() + r * rowBytes, picture.pixels.data() + static_cast<std::size_t>(r) * picture.rowBytes,
                rowBytes);
  bitmap.SyncToPackedBitmap();
  const std::span<const std::uint8_t> dib(bitmap.PackedBitmap(), bitmap.PackedBitmapBytes());
  const auto layout = BmpLayoutFor(dib);
  if (!layout) return {};
  const auto header = BmpFileHeader(*layout);
  std::string file(reinterpret_cast<const char*>(header.data()), header.size());
  file.append(reinterpret_cast<const char*>(dib.data()), layout->fileBytes - kBmpFileHeaderBytes);
  return file;
}

}  // namespace server
