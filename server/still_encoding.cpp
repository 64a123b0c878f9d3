#include "server/still_encoding.h"

#include <cstring>

#include "jpeg/bgr_picture.h"
#include "liveview/frame_bitmap.h"
#include "output/bmp_file.h"

namespace server {

namespace {

// The still writer's settings, so that the stream, the snapshot and a saved
// file of the same picture are the same bytes.
constexpr std::int32_t kStillQuality = 75;

bool WellFormed(const PictureView& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.rowBytes < picture.width * 3) return false;
  const auto needed = static_cast<std::size_t>(picture.rowBytes) * static_cast<std::size_t>(picture.height);
  return picture.pixels.size() >= needed && needed <= CFrameBitmap::kPixelCapacity;
}

}  // namespace

CStillJpegEncoder::CStillJpegEncoder() : m_ready(JpegInit(&m_props) == JpegSuccess) {}

CStillJpegEncoder::~CStillJpegEncoder() {
  if (m_ready) JpegFree(&m_props);
}

bool CStillJpegEncoder::Encode(const PictureView& picture, std::vector<std::uint8_t>& out) {
  out.clear();
  if (!m_ready || !WellFormed(picture)) return false;
  // The encoder writes into a scratch area kept from call to call, and the
  // file is copied out at its own size: a stream encodes every frame, and a
  // fresh raw-sized buffer each time would be cleared for nothing and would
  // leave the heap ragged. A baseline file at quality 75 stays well under the
  // raw size; the slack covers headers of tiny pictures. A second try doubles it.
  const std::size_t first = static_cast<std::size_t>(picture.width) * picture.height * 3 / 2 + 4096;
  if (m_scratch.size() < first) m_scratch.resize(first);
  for (int attempt = 0; attempt < 2; ++attempt) {
    // Top-down rows, as the view holds them.
    DescribeBgrPicture(m_props,
                       {.pixels = picture.pixels.data(),
                        .width = picture.width,
                        .height = picture.height,
                        .rowPad = picture.rowBytes - 3 * picture.width},
                       kStillQuality);
    m_props.jpeg_buffer = m_scratch.data();
    m_props.jpeg_size = static_cast<std::int32_t>(m_scratch.size());
    const std::int32_t result = JpegWrite(&m_props, WholeImageToBuffer);
    if (result == JpegSuccess && m_props.jpeg_size > 0) {
      out.assign(m_scratch.begin(), m_scratch.begin() + m_props.jpeg_size);
      return true;
    }
    if (result != JpegErrBufferTooSmall) break;
    m_scratch.resize(m_scratch.size() * 2);
  }
  return false;
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
