// A page image for the document, made by the program's own JPEG encoder.
#pragma once

#include <opencv2/core/mat.hpp>
#include <string>

namespace scan {

// Writes 8-bit BGR `page` to `path` at `quality`. Empty on success, else why.
std::string WritePageJpeg(const cv::Mat& page, const std::string& path, int quality = 75);

}  // namespace scan
