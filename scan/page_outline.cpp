#include "scan/page_outline.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace scan {
namespace {

// The reduced copy's longer side: an XGA frame is halved, which keeps a
// corner within a pixel or two of the full picture's and the step well
// under its budget.
constexpr int kWorkingSide = 512;
constexpr double kMinAreaShare = 0.10;
constexpr double kMinContrast = 25.0;
// Movement below this share of the picture's diagonal is noise, not a moved page.
constexpr double kStillShare = 0.004;
constexpr int kFramesBeforeDrop = 3;

std::optional<std::array<cv::Point2f, 4>> QuadOf(const std::vector<cv::Point>& contour) {
  std::vector<cv::Point> hull;
  cv::convexHull(contour, hull);
  const double perimeter = cv::arcLength(hull, true);
  for (double share = 0.01; share <= 0.06; share += 0.01) {
    std::vector<cv::Point> approx;
    cv::approxPolyDP(hull, approx, share * perimeter, true);
    if (approx.size() == 4 && cv::isContourConvex(approx)) {
      std::array<cv::Point2f, 4> quad;
      for (std::size_t i = 0; i < 4; ++i) quad[i] = cv::Point2f(approx[i]);
      return quad;
    }
    if (approx.size() < 4) break;
  }
  return std::nullopt;
}

// Moves each corner onto the crossing of the two page edges that meet
// there, fitted to the outline's points, which undoes the reduction's and
// the polygon's rounding.
std::array<cv::Point2f, 4> RefineCorners(const std::array<cv::Point2f, 4>& quad,
                                         const std::vector<cv::Point>& contour) {
  std::array<cv::Vec4f, 4> lines;
  for (std::size_t side = 0; side < 4; ++side) {
    const cv::Point2f a = quad[side];
    const cv::Point2f b = quad[(side + 1) % 4];
    const cv::Point2f d = b - a;
    const double length = cv::norm(d);
    std::vector<cv::Point2f> near;
    for (const cv::Point& p : contour) {
      const cv::Point2f q(p);
      const double along = (q - a).dot(d) / (length * length);
      const double off = std::abs(d.x * (q.y - a.y) - d.y * (q.x - a.x)) / length;
      if (along > 0.1 && along < 0.9 && off < 3.0) near.push_back(q);
    }
    if (near.size() < 8) return quad;
    cv::fitLine(near, lines[side], cv::DIST_HUBER, 0, 0.01, 0.01);
  }
  std::array<cv::Point2f, 4> refined;
  for (std::size_t corner = 0; corner < 4; ++corner) {
    const cv::Vec4f& l1 = lines[(corner + 3) % 4];
    const cv::Vec4f& l2 = lines[corner];
    const double det = l1[0] * (-l2[1]) - l1[1] * (-l2[0]);
    if (std::abs(det) < 1e-6) return quad;
    const double t = ((l2[2] - l1[2]) * (-l2[1]) - (l2[3] - l1[3]) * (-l2[0])) / det;
    refined[corner] = {static_cast<float>(l1[2] + t * l1[0]), static_cast<float>(l1[3] + t * l1[1])};
    if (cv::norm(refined[corner] - quad[corner]) > 6.0) return quad;
  }
  return refined;
}

}  // namespace

std::optional<PageCorners> FindPageOutline(const cv::Mat& bgr) {
  if (bgr.empty() || bgr.type() != CV_8UC3 || bgr.cols < 16 || bgr.rows < 16) return std::nullopt;
  const double scale = std::min(1.0, static_cast<double>(kWorkingSide) / std::max(bgr.cols, bgr.rows));
  cv::Mat small;
  cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);
  cv::Mat grey;
  cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
  cv::GaussianBlur(grey, grey, cv::Size(5, 5), 0);
  cv::Mat mask;
  cv::threshold(grey, mask, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
  // Closing fills the text so the page is one light region.
  cv::morphologyEx(mask, mask, cv::MORPH_CLOSE, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(9, 9)));

  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
  const double frameArea = static_cast<double>(small.cols) * small.rows;
  const auto largest = std::max_element(contours.begin(), contours.end(), [](const auto& a, const auto& b) {
    return cv::contourArea(a) < cv::contourArea(b);
  });
  if (largest == contours.end() || cv::contourArea(*largest) < kMinAreaShare * frameArea) return std::nullopt;
  const auto quad = QuadOf(*largest);
  if (!quad) return std::nullopt;
  for (const cv::Point2f& p : *quad) {
    if (p.x < 2 || p.y < 2 || p.x > small.cols - 3 || p.y > small.rows - 3) return std::nullopt;
  }
  // A page is clearly lighter than the desk around it.
  cv::Mat inside = cv::Mat::zeros(grey.size(), CV_8U);
  std::vector<cv::Point> polygon;
  for (const cv::Point2f& p : *quad) polygon.emplace_back(cv::Point(p));
  cv::fillConvexPoly(inside, polygon, cv::Scalar(255));
  cv::Mat outside;
  cv::bitwise_not(inside, outside);
  if (cv::countNonZero(outside) < 0.02 * frameArea) return std::nullopt;
  if (cv::mean(grey, inside)[0] - cv::mean(grey, outside)[0] < kMinContrast) return std::nullopt;

  const std::array<cv::Point2f, 4> refined = RefineCorners(*quad, *largest);
  std::array<cv::Point2f, 4> full;
  // Pixel centres: point (x, y) of the reduced copy covers (x + 0.5) / scale.
  for (std::size_t i = 0; i < 4; ++i) {
    full[i] = {static_cast<float>((refined[i].x + 0.5) / scale), static_cast<float>((refined[i].y + 0.5) / scale)};
  }
  return OrderCorners(full);
}

std::optional<PageCorners> OutlineTracker::Update(const std::optional<PageCorners>& found) {
  if (!found) {
    if (++m_missed >= kFramesBeforeDrop) m_held.reset();
    return m_held;
  }
  m_missed = 0;
  if (m_held) {
    const cv::Point2f span = found->points[2] - found->points[0];
    if (LargestCornerDistance(*m_held, *found) <= kStillShare * cv::norm(span)) return m_held;
  }
  m_held = found;
  return m_held;
}

}  // namespace scan
