// tavrocam-scan on picture files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/document_scene.h"
#include "tests/scan/scan_test_support.h"

namespace {

namespace fs = std::filesystem;

// Writes the scene as a binary PPM, the simplest of the formats taken.
std::string WriteScene(const std::string& folder, int place) {
  const cv::Mat scene = scan_test::DocumentScene(place);
  const std::string path = folder + "/scene" + std::to_string(place) + ".ppm";
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << scene.cols << " " << scene.rows << "\n255\n";
  for (int r = 0; r < scene.rows; ++r) {
    for (int c = 0; c < scene.cols; ++c) {
      const cv::Vec3b px = scene.at<cv::Vec3b>(r, c);
      out.put(static_cast<char>(px[2])).put(static_cast<char>(px[1])).put(static_cast<char>(px[0]));
    }
  }
  return path;
}

TEST(Cli, ScansPicturesIntoOneSearchablePdf) {
  const std::string folder = scan_test::FreshFolder("cli");
  const std::string scene = WriteScene(folder, 1);
  const std::string out = folder + "/out.pdf";
  std::ofstream(out) << "replaced";
  const auto c = scan_test::DocumentCorners(1).points;
  std::string corners;
  for (const auto& p : c) corners += std::to_string(p.x) + "," + std::to_string(p.y) + ",";
  corners.pop_back();
  const auto run = scan_test::Run(TAVROCAM_SCAN_TOOL, {scene, "--corners", corners, "--look", "grey", "-o", out});
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(scan_test::Run("qpdf", {"--check", out}).exitCode, 0);
  const auto text = scan_test::Run("pdftotext", {out, "-"});
  EXPECT_GE(scan_test::WordAccuracy(sim::DocumentSceneWords(), text.output), 0.90) << text.output;
}

TEST(Cli, BadInputEndsWithAReasonAndLeavesTheOutputAlone) {
  const std::string folder = scan_test::FreshFolder("cli-bad");
  const std::string out = folder + "/out.pdf";
  std::ofstream(out) << "keep";
  std::ofstream(folder + "/not-a-picture.png") << "no picture here";
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* says;
  };
  const std::string scene = WriteScene(folder, 0);
  const std::vector<Case> cases = {
      {{scene, "--look", "sepia", "-o", out}, 2, "--look"},
      {{scene, "--corners", "1,2,3", "-o", out}, 2, "--corners"},
      {{scene, "--whole", "--corners", "0,0,1,0,1,1,0,1", "-o", out}, 2, "exclude"},
      {{scene}, 2, "-o OUT.pdf"},
      {{"-o", out}, 2, "No picture"},
      {{scene, "--lang", "zzq", "-o", out}, 1, "tesseract-ocr-zzq"},
      {{folder + "/not-a-picture.png", "-o", out}, 1, "Cannot read"},
      {{folder + "/missing.jpg", "-o", out}, 1, "Cannot read"},
      {{scene, "--whole", "-o", folder + "/no-such-folder/out.pdf"}, 1, "Cannot write"},
  };
  for (const Case& c : cases) {
    const auto run = scan_test::Run(TAVROCAM_SCAN_TOOL, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  std::ifstream kept(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
  EXPECT_FALSE(fs::exists(folder + "/no-such-folder"));
}

}  // namespace
