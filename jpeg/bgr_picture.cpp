#include "jpeg/bgr_picture.h"

void DescribeBgrPicture(JPEG_PROPERTIES& props, const BgrPicture& picture, std::int32_t quality) {
  props.dib_pixels = picture.pixels;
  props.dib_width = picture.width;
  // A negative height tells the encoder that the rows run bottom-up.
  props.dib_height = picture.bottomUp ? -picture.height : picture.height;
  props.dib_pad = picture.rowPad;
  props.dib_channels = 3;
  props.dib_color = JpegColorBgr;
  props.jpeg_width = picture.width;
  props.jpeg_height = picture.height;
  props.jpeg_channels = 3;
  props.jpeg_color = JpegColorYCbCr;
  props.jpeg_subsampling = JpegSampling420;
  props.jpeg_quality = quality;
}
