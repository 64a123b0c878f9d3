// Finding the page in a picture: the largest convex quadrilateral of a light
// page against a darker desk. Runs on every live frame while a scan session
// is open, so it works on a reduced copy of the picture.
#pragma once

#include <opencv2/core/mat.hpp>
#include <optional>

#include "scan/page_corners.h"

namespace scan {

// The page's corners in `bgr` (8-bit, 3 channels), or nothing when the
// picture holds no page: no quadrilateral of at least a tenth of the
// picture, one touching the picture's edge, or too little contrast with the
// desk around it.
std::optional<PageCorners> FindPageOutline(const cv::Mat& bgr);

// Keeps the outline still from frame to frame: a new outline replaces the
// held one only when a corner moved more than a small tolerance, and a single
// frame without an outline does not drop it.
class OutlineTracker {
 public:
  std::optional<PageCorners> Update(const std::optional<PageCorners>& found);
  const std::optional<PageCorners>& Current() const { return m_held; }

 private:
  std::optional<PageCorners> m_held;
  int m_missed = 0;
};

}  // namespace scan
