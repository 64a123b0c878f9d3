// The page outline and the straightening steps on the document scene, whose
// corners are known.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "scan/page_outline.h"
#include "scan/scan_page.h"
#include "scan/straighten.h"
#include "sim/document_scene.h"
#include "sim/picture_renderer.h"
#include "tests/scan/scan_test_support.h"

namespace {

double PageDiagonal(const scan::PageCorners& c) { return cv::norm(c.points[2] - c.points[0]); }

TEST(Outline, FindsTheSceneCornersAtEveryPlaceWithinOnePercent) {
  for (int place = 0; place < sim::kDocumentPlaces; ++place) {
    SCOPED_TRACE("place " + std::to_string(place));
    const cv::Mat scene = scan_test::DocumentScene(place);
    ASSERT_FALSE(scene.empty()) << "the scene's typeface is missing";
    const auto found = scan::FindPageOutline(scene);
    ASSERT_TRUE(found.has_value());
    const scan::PageCorners known = scan_test::DocumentCorners(place);
    EXPECT_LE(scan::LargestCornerDistance(*found, known), 0.01 * PageDiagonal(known));
  }
}

TEST(Outline, StaysStillUnderNoiseAndFollowsAMovedPage) {
  const cv::Mat scene = scan_test::DocumentScene(0);
  scan::OutlineTracker tracker;
  const auto first = tracker.Update(scan::FindPageOutline(scene));
  ASSERT_TRUE(first.has_value());
  cv::RNG rng(7);
  for (int frame = 0; frame < 5; ++frame) {
    cv::Mat noisy = scene.clone();
    cv::Mat noise(scene.size(), CV_8UC3);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 12);
    noisy += noise;
    const auto held = tracker.Update(scan::FindPageOutline(noisy));
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(scan::LargestCornerDistance(*held, *first), 0.0) << "frame " << frame;
  }
  // One lost frame keeps the outline; a moved page replaces it.
  EXPECT_TRUE(tracker.Update(std::nullopt).has_value());
  const auto moved = tracker.Update(scan::FindPageOutline(scan_test::DocumentScene(2)));
  ASSERT_TRUE(moved.has_value());
  EXPECT_LE(scan::LargestCornerDistance(*moved, scan_test::DocumentCorners(2)),
            0.01 * PageDiagonal(scan_test::DocumentCorners(2)));
}

TEST(Outline, APictureWithoutAPageHasNoOutlineAndIsTakenWhole) {
  sim::PictureRenderer renderer(1);
  const sim::Picture test = renderer.RenderPicture(sim::RenderKey{}, 0);
  const cv::Mat testPage(test.height, test.width, CV_8UC3, const_cast<std::uint8_t*>(test.bgr.data()));
  const cv::Mat grey(768, 1024, CV_8UC3, cv::Scalar(128, 128, 128));
  cv::Mat gradient(768, 1024, CV_8UC3);
  for (int r = 0; r < gradient.rows; ++r) gradient.row(r).setTo(cv::Scalar::all(r / 3));
  for (const cv::Mat* picture : std::initializer_list<const cv::Mat*>{&testPage, &grey, &gradient}) {
    EXPECT_FALSE(scan::FindPageOutline(*picture).has_value());
    scan::ScanPage page;
    page.picture = *picture;
    ASSERT_TRUE(scan::StraightenAndEven(page));
    EXPECT_EQ(scan::LargestCornerDistance(page.usedCorners, scan::WholePicture(1024, 768)), 0.0);
    EXPECT_EQ(page.page.size(), cv::Size(1024, 768));
  }
  // Nothing at all, and pictures too small to hold a page, are refused quietly.
  EXPECT_FALSE(scan::FindPageOutline(cv::Mat()).has_value());
  EXPECT_FALSE(scan::FindPageOutline(cv::Mat(4, 4, CV_8UC3, cv::Scalar::all(255))).has_value());
}

TEST(Straighten, ChosenCornersGiveThePageItsOwnProportionsAndEvenLight) {
  const cv::Mat scene = scan_test::DocumentScene(4);  // the most turned place
  for (const scan::ScanLook look : {scan::ScanLook::kColour, scan::ScanLook::kGrey, scan::ScanLook::kBw}) {
    scan::ScanPage page;
    page.picture = scene;
    page.corners = scan_test::DocumentCorners(4);
    page.look = look;
    ASSERT_TRUE(scan::StraightenAndEven(page));
    EXPECT_EQ(scan::LargestCornerDistance(page.usedCorners, *page.corners), 0.0);
    // The scene's page is 1000 x 1414 before it is laid down.
    EXPECT_NEAR(static_cast<double>(page.page.cols) / page.page.rows, 1000.0 / 1414.0, 0.03);
    // The paper comes out white wherever the lamp left it, the print dark.
    cv::Mat grey;
    cv::cvtColor(page.page, grey, cv::COLOR_BGR2GRAY);
    const int w = grey.cols;
    const int h = grey.rows;
    const cv::Rect lit(w / 20, h * 9 / 10, w / 10, h / 20);          // bottom margin, left
    const cv::Rect shaded(w * 17 / 20, h * 9 / 10, w / 10, h / 20);  // bottom margin, far right
    EXPECT_GT(cv::mean(grey(lit))[0], 235);
    EXPECT_GT(cv::mean(grey(shaded))[0], 235);
    double darkest = 255;
    cv::minMaxLoc(grey, &darkest);
    EXPECT_LT(darkest, 80);
    if (look != scan::ScanLook::kColour) {
      std::vector<cv::Mat> channels;
      cv::split(page.page, channels);
      EXPECT_EQ(cv::norm(channels[0], channels[2], cv::NORM_INF), 0.0);
    }
  }
  // Corners that enclose nothing fail the page instead of writing a sliver.
  scan::ScanPage degenerate;
  degenerate.picture = scene;
  degenerate.corners = scan::PageCorners{{cv::Point2f{10, 10}, {12, 10}, {12, 12}, {10, 12}}};
  EXPECT_FALSE(scan::StraightenAndEven(degenerate));
  EXPECT_FALSE(degenerate.error.empty());
}

TEST(Corners, ParseTakesExactlyEightNumbers) {
  const auto parsed = scan::ParseCorners("1,2,3.5,4,5,6,7,8");
  ASSERT_TRUE(parsed.has_value());
  EXPECT_FLOAT_EQ(parsed->points[1].x, 3.5f);
  EXPECT_FLOAT_EQ(parsed->points[3].y, 8.0f);
  for (const char* bad :
       {"", "1,2,3,4,5,6,7", "1,2,3,4,5,6,7,8,9", "1,2,3,4,5,6,7,x", "1,,3,4,5,6,7,8", "nan,2,3,4,5,6,7,8"}) {
    EXPECT_FALSE(scan::ParseCorners(bad).has_value()) << bad;
  }
  // Any order of four corners comes back clockwise from the top-left.
  const scan::PageCorners ordered = scan::OrderCorners({cv::Point2f{90, 95}, {10, 5}, {5, 90}, {100, 0}});
  EXPECT_EQ(ordered.points[0], cv::Point2f(10, 5));
  EXPECT_EQ(ordered.points[1], cv::Point2f(100, 0));
  EXPECT_EQ(ordered.points[2], cv::Point2f(90, 95));
  EXPECT_EQ(ordered.points[3], cv::Point2f(5, 90));
}

}  // namespace
