#include "jpeg/validate.h"

namespace jpeg {

namespace {

constexpr std::int32_t kInvalid = -8;
constexpr std::int32_t kBadSampling = -3;

bool InRange(std::int32_t v, std::int32_t lo, std::int32_t hi) { return v >= lo && v <= hi; }

std::int32_t Magnitude(std::int32_t v) { return v < 0 ? -v : v; }  // callers keep v above INT32_MIN

bool SamplingFitsComponents(std::int32_t components, std::int32_t sampling) {
  switch (components) {
    case 1: return sampling == 0;
    case 3: return InRange(sampling, 0, 2);
    case 4: return sampling == 0 || sampling == 3 || sampling == 4;
    default: return sampling == 0;
  }
}

bool ColourCombinationAccepted(const ImageFields& f) {
  const std::int32_t from = f.dib_color;
  const std::int32_t from_ch = f.dib_channels;
  const std::int32_t to = f.jpeg_color;
  const std::int32_t to_ch = f.jpeg_channels;
  const bool to_grey = to == 4 && to_ch == 1;
  const bool to_rgb = to == 1 && to_ch == 3;
  const bool to_ycc = to == 3 && to_ch == 3;
  if (from == 4 && from_ch == 1) return to_grey || to_ycc;
  if (from == 1 && from_ch == 3) return to_grey || to_rgb || to_ycc;
  if (from == 1 && from_ch == 4) return to_ycc;
  if (from == 2 && from_ch == 3) return to_grey || to_rgb || to_ycc;
  if (from == 5 && from_ch == 4) return (to == 5 || to == 6) && to_ch == 4;
  if (from == 3 && from_ch == 3) return to_ycc;
  if (from == 255 && from_ch >= to_ch) return to == 255;
  return false;
}

}  // namespace

std::int32_t ValidateWrite(const ImageFields& f, std::int32_t mode, std::int32_t dct_method) {
  // The decoding modes (0..7, 14..21) belong to no encoder.
  if (!IsEncodingMode(mode)) return kInvalid;
  const bool image = IsImageMode(mode);

  if (image) {
    if (f.dib_pixels == nullptr || !InRange(f.dib_width, 1, 65535) || !InRange(f.dib_height, -65535, 65535) ||
        f.dib_pad < 0 || !InRange(f.dib_channels, 1, 255)) {
      return kInvalid;
    }
    if (f.dib_subsampling != 0 && !(f.dib_subsampling == 2 && f.dib_color == 3)) return kBadSampling;
  }

  if (IsFileMode(mode)) {
    if (f.jpeg_file_name == nullptr) return kInvalid;
  } else if (f.jpeg_buffer == nullptr || f.jpeg_size == 0) {
    return kInvalid;
  }

  if (!InRange(f.jpeg_channels, 1, 256)) return kInvalid;

  if (image) {
    if (!InRange(f.jpeg_width, 1, 65535) || !InRange(f.jpeg_height, 1, 65535)) return kInvalid;
    if (f.dib_color != 4 && f.jpeg_color != 3 && f.dib_channels < f.jpeg_channels) return kInvalid;
    // The encoder does not resample: a JPEG larger than the bitmap would read
    // past the caller's pixels.
    if (f.jpeg_width > f.dib_width || f.jpeg_height > Magnitude(f.dib_height)) return kInvalid;
  }

  if (!SamplingFitsComponents(f.jpeg_channels, f.jpeg_subsampling)) return kBadSampling;
  if (!ColourCombinationAccepted(f)) return kInvalid;
  if (dct_method != 0 && dct_method != 1) return kInvalid;
  return 0;
}

std::int32_t CheckSupported(const ImageFields& f, std::int32_t mode, std::int32_t dct_method) {
  if (!IsImageMode(mode)) return 0;
  const bool bgr_to_ycc_420 = f.dib_color == 2 && f.dib_channels == 3 && f.dib_subsampling == 0 && f.jpeg_color == 3 &&
                              f.jpeg_channels == 3 && f.jpeg_subsampling == 1;
  return bgr_to_ycc_420 && dct_method == 1 ? 0 : -12;
}

}  // namespace jpeg
