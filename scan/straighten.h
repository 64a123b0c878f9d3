// Undoing the perspective: the page inside its four corners becomes a flat
// picture of the page's own proportions.
#pragma once

#include <opencv2/core/mat.hpp>

#include "scan/page_corners.h"

namespace scan {

// The page's width and height in pixels: the mean lengths of its opposite
// edges, so the page keeps about as many pixels as the picture gave it.
cv::Size StraightenedSize(const PageCorners& corners);

// The flat page. Corners outside the picture are allowed (the missing part
// comes out white); an empty result for a degenerate outline.
cv::Mat StraightenPage(const cv::Mat& bgr, const PageCorners& corners);

}  // namespace scan
