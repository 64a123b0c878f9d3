#include <algorithm>
#include <cstdint>

#include "jpeg/bgr_picture.h"
#include "jpeg/jpeg.h"
#include "liveview/frame_bitmap.h"
#include "output/pending_file.h"
#include "output/still_writers.h"

namespace {

constexpr std::int32_t kStillQuality = 75;

// Turns the bottom-up packed rows upside down; the middle row of an odd
// height stays where it is.
void FlipRows(std::uint8_t* rows, int height, std::size_t stride) {
  for (int i = 0; i < height / 2; ++i) {
    std::uint8_t* upper = rows + static_cast<std::size_t>(i) * stride;
    std::uint8_t* lower = rows + static_cast<std::size_t>(height - 1 - i) * stride;
    std::swap_ranges(upper, upper + stride, lower);
  }
}

// Releases the encoder's record and undoes the flip on every way out.
class EncodeSession {
 public:
  explicit EncodeSession(CFrameBitmap& bitmap) : m_bitmap(bitmap) {}
  ~EncodeSession() {
    if (m_initialised) JpegFree(&m_props);
    if (m_flipped) m_bitmap.SyncToPackedBitmap();
  }
  EncodeSession(const EncodeSession&) = delete;
  EncodeSession& operator=(const EncodeSession&) = delete;

  bool Init() {
    m_initialised = JpegInit(&m_props) == JpegSuccess;
    return m_initialised;
  }

  std::int32_t Encode(const char* fileName) {
    const int width = m_bitmap.Width();
    const int height = m_bitmap.Height();
    const auto stride = static_cast<std::size_t>(m_bitmap.Stride());
    std::uint8_t* rows = m_bitmap.PackedBitmap() + CFrameBitmap::kHeaderBytes;
    m_flipped = true;
    FlipRows(rows, height, stride);

    // The rows are top-down now.
    DescribeBgrPicture(
        m_props,
        {.pixels = rows, .width = width, .height = height, .rowPad = static_cast<std::int32_t>(stride) - 3 * width},
        kStillQuality);
    m_props.jpeg_file_name = fileName;
    return JpegWrite(&m_props, WholeImageToFile);
  }

 private:
  CFrameBitmap& m_bitmap;
  JPEG_PROPERTIES m_props{};
  bool m_initialised = false;
  bool m_flipped = false;
};

}  // namespace

StillError WriteJpeg(CFrameBitmap& bitmap, const std::string& path) {
  if (!bitmap.PackedBitmap() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return StillError::kNoBitmap;
  if (bitmap.BitsPerPixel() != 24) return StillError::kNotTrueColour;
  PendingFile file(path);
  if (const StillError e = file.Create(); e != StillError::kNone) return e;
  if (const StillError e = WriteJpegInto(bitmap, file); e != StillError::kNone) return e;
  return file.Commit();
}

StillError WriteJpegInto(CFrameBitmap& bitmap, PendingFile& file) {
  if (!bitmap.PackedBitmap() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return StillError::kNoBitmap;
  if (bitmap.BitsPerPixel() != 24) return StillError::kNotTrueColour;
  // The encoder opens the temporary file by name itself.
  file.CloseDescriptor();
  {
    EncodeSession session(bitmap);
    if (!session.Init()) return StillError::kEncoderFailed;
    const std::int32_t result = session.Encode(file.TempPath().c_str());
    if (result == JpegErrFile) return StillError::kWriteFailed;
    if (result != JpegSuccess) return StillError::kEncoderFailed;
  }
  return StillError::kNone;
}
