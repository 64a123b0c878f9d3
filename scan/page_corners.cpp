#include "scan/page_corners.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace scan {

PageCorners WholePicture(int width, int height) {
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  return {{cv::Point2f{0, 0}, cv::Point2f{w, 0}, cv::Point2f{w, h}, cv::Point2f{0, h}}};
}

PageCorners OrderCorners(const std::array<cv::Point2f, 4>& any) {
  // Sorted by angle around the centre the points go clockwise (y points down);
  // the top-left is then the one nearest the picture's origin by x + y.
  cv::Point2f centre{0, 0};
  for (const auto& p : any) centre += p * 0.25f;
  std::array<cv::Point2f, 4> sorted = any;
  std::sort(sorted.begin(), sorted.end(), [&](const cv::Point2f& a, const cv::Point2f& b) {
    return std::atan2(a.y - centre.y, a.x - centre.x) < std::atan2(b.y - centre.y, b.x - centre.x);
  });
  const auto first = std::min_element(sorted.begin(), sorted.end(),
                                      [](const cv::Point2f& a, const cv::Point2f& b) { return a.x + a.y < b.x + b.y; });
  std::rotate(sorted.begin(), first, sorted.end());
  return {sorted};
}

double LargestCornerDistance(const PageCorners& a, const PageCorners& b) {
  double largest = 0;
  for (std::size_t i = 0; i < 4; ++i) largest = std::max(largest, cv::norm(a.points[i] - b.points[i]));
  return largest;
}

std::optional<PageCorners> ParseCorners(const std::string& text) {
  std::vector<float> values;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    char* end = nullptr;
    const float v = std::strtof(item.c_str(), &end);
    if (item.empty() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    values.push_back(v);
  }
  if (values.size() != 8) return std::nullopt;
  PageCorners corners;
  for (std::size_t i = 0; i < 4; ++i) corners.points[i] = {values[2 * i], values[2 * i + 1]};
  return corners;
}

}  // namespace scan
