#include "scan/even_light.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>

namespace scan {
namespace {

// The paper's brightness at every pixel: the print removed by taking the
// lightest pixel around (wider than a letter), then smoothed wide, on a
// quarter-size copy for speed.
cv::Mat EstimateBackground(const cv::Mat& page) {
  cv::Mat small;
  cv::resize(page, small, cv::Size(std::max(1, page.cols / 4), std::max(1, page.rows / 4)), 0, 0, cv::INTER_AREA);
  cv::dilate(small, small, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7)));
  cv::medianBlur(small, small, 5);
  const int blur = (std::max(small.cols, small.rows) / 8) | 1;
  cv::GaussianBlur(small, small, cv::Size(blur, blur), 0);
  cv::Mat background;
  cv::resize(small, background, page.size(), 0, 0, cv::INTER_LINEAR);
  return background;
}

}  // namespace

cv::Mat EvenLight(const cv::Mat& page, ScanLook look) {
  if (page.empty()) return {};
  cv::Mat background = EstimateBackground(page);
  cv::Mat evened;
  // Each channel over its own background keeps coloured print coloured while
  // tinted light goes white.
  cv::divide(page, cv::max(background, cv::Scalar::all(1)), evened, 255.0, CV_8U);
  // What is almost paper becomes paper, and the print gets its contrast back.
  evened.convertTo(evened, CV_8U, 255.0 / 225.0, 0);
  if (look == ScanLook::kColour) return evened;
  cv::Mat grey;
  cv::cvtColor(evened, grey, cv::COLOR_BGR2GRAY);
  if (look == ScanLook::kBw) cv::threshold(grey, grey, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
  cv::Mat out;
  cv::cvtColor(grey, out, cv::COLOR_GRAY2BGR);
  return out;
}

}  // namespace scan
