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
  if (!m_ready || !WellFormed(picture)) return false;
  // A baseline file at quality 75 stays well under the raw size; the slack
  // covers headers of tiny pictures. A second try doubles it.
  out.resize(static_cast<std::size_t>(picture.width) * picture.height * 3 / 2 + 4096);
  for (int attempt = 0; attempt < 2; ++attempt) {
    // Top-down rows, as the view holds them.
    DescribeBgrPicture(m_props,
                       {.pixels = picture.pixels.data(),
                        .width = picture.width,
                        .height = picture.height,
                        .rowPad = picture.rowBytes - 3 * picture.width},
                       kStillQuality);
    m_props.jpeg_buffer = out.data();
    m_props.jpeg_size = static_cast<std::int32_t>(out.size());
    const std::int32_t result = JpegWrite(&m_props, WholeImageToBuffer);
    if (result == JpegSuccess && m_props.jpeg_size > 0) {
      out.resize(static_cast<std::size_t>(m_props.jpeg_size));
      return true;
    }
    if (result != JpegErrBufferTooSmall) break;
    out.resize(out.size() * 2);
  }
  out.clear();
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
