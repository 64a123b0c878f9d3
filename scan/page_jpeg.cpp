#include "scan/page_jpeg.h"

#include "jpeg/bgr_picture.h"
#include "jpeg/jpeg.h"

namespace scan {

std::string WritePageJpeg(const cv::Mat& page, const std::string& path, int quality) {
  if (page.empty() || page.type() != CV_8UC3) return "No page picture to write";
  const cv::Mat packed = page.isContinuous() ? page : page.clone();
  JPEG_PROPERTIES props{};
  if (JpegInit(&props) != JpegSuccess) return "The JPEG encoder could not start";
  DescribeBgrPicture(props, {.pixels = packed.data, .width = packed.cols, .height = packed.rows}, quality);
  props.jpeg_file_name = path.c_str();
  const std::int32_t rc = JpegWrite(&props, WholeImageToFile);
  JpegFree(&props);
  if (rc != JpegSuccess) return std::string("The page image could not be written: ") + JpegErrorText(rc);
  return {};
}

}  // namespace scan
