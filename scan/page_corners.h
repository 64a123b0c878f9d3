// Where a page lies in a picture: four corners in picture pixels, clockwise
// from the page's top-left as the picture shows it.
#pragma once

#include <array>
#include <opencv2/core/types.hpp>
#include <optional>
#include <string>

namespace scan {

struct PageCorners {
  std::array<cv::Point2f, 4> points;  // top-left, top-right, bottom-right, bottom-left
};

// The whole picture as a page.
PageCorners WholePicture(int width, int height);

// Puts four points into the corner order above whatever order they came in.
PageCorners OrderCorners(const std::array<cv::Point2f, 4>& any);

// The largest distance between a corner and its counterpart.
double LargestCornerDistance(const PageCorners& a, const PageCorners& b);

// "x1,y1,x2,y2,x3,y3,x4,y4", as the command line takes them. Empty on a bad text.
std::optional<PageCorners> ParseCorners(const std::string& text);

}  // namespace scan
