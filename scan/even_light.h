// Evening out the light on a straightened page: the paper becomes white and
// the print dark however the lamp fell on it.
#pragma once

#include <opencv2/core/mat.hpp>

#include "scan/scan_look.h"

namespace scan {

// `page` is 8-bit BGR; the result is 8-bit BGR for every look (grey and bw
// have equal channels), the size unchanged.
cv::Mat EvenLight(const cv::Mat& page, ScanLook look);

}  // namespace scan
