#include "scan/straighten.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace scan {

cv::Size StraightenedSize(const PageCorners& corners) {
  const auto& p = corners.points;
  const double width = (cv::norm(p[1] - p[0]) + cv::norm(p[2] - p[3])) / 2;
  const double height = (cv::norm(p[3] - p[0]) + cv::norm(p[2] - p[1])) / 2;
  return {static_cast<int>(std::lround(width)), static_cast<int>(std::lround(height))};
}

cv::Mat StraightenPage(const cv::Mat& bgr, const PageCorners& corners) {
  const cv::Size size = StraightenedSize(corners);
  // Bounded so a wild manual corner cannot ask for gigabytes.
  if (bgr.empty() || size.width < 8 || size.height < 8 || size.width > 8192 || size.height > 8192) return {};
  const float w = static_cast<float>(size.width);
  const float h = static_cast<float>(size.height);
  const cv::Point2f target[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  const cv::Mat transform = cv::getPerspectiveTransform(corners.points.data(), target);
  cv::Mat page;
  cv::warpPerspective(bgr, page, transform, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255, 255, 255));
  return page;
}

}  // namespace scan
