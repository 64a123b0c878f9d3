// Whole scans through the session: the document scene in, a searchable PDF
// out, checked by Debian's own PDF tools (qpdf, pdfinfo, pdftotext, pdftoppm).
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <opencv2/imgproc.hpp>
#include <regex>
#include <thread>

#include "scan/document_file.h"
#include "scan/scan_session.h"
#include "scan/text_model.h"
#include "sim/document_scene.h"
#include "tests/scan/scan_test_support.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

// A PPM of pdftoppm's page 1 at `dpi`, read back.
cv::Mat RenderFirstPage(const std::string& pdf, int dpi, const std::string& folder) {
  const std::string stem = folder + "/render";
  const auto run =
      scan_test::Run("pdftoppm", {"-r", std::to_string(dpi), "-f", "1", "-l", "1", "-singlefile", pdf, stem});
  if (run.exitCode != 0) return {};
  std::ifstream in(stem + ".ppm", std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P6" || w <= 0 || h <= 0) return {};
  cv::Mat rgb(h, w, CV_8UC3);
  in.read(reinterpret_cast<char*>(rgb.data), static_cast<std::streamsize>(rgb.total() * 3));
  cv::Mat bgr;
  cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
  return bgr;
}

TEST(Document, TheSceneScannedIsOneSearchablePdfWithAPagePerPageTaken) {
  const std::string folder = scan_test::FreshFolder("scene");
  scan::ScanSession session({});
  ASSERT_EQ(session.Problem(), "");
  EXPECT_EQ(session.AddPage(scan_test::DocumentScene(0), std::nullopt), 1);
  EXPECT_EQ(session.AddPage(scan_test::DocumentScene(2), std::nullopt), 2);
  // A third page taken and taken back is not in the document, whatever its state.
  EXPECT_EQ(session.AddPage(scan_test::DocumentScene(1), std::nullopt), 3);
  EXPECT_TRUE(session.RemoveLastPage());

  std::vector<std::pair<int, int>> progress;
  const std::time_t created = std::time(nullptr);
  const scan::DocumentResult result = session.Finish(folder, scan::DocumentBaseName(created), "Rivers", created,
                                                     [&](int done, int total) { progress.emplace_back(done, total); });
  ASSERT_EQ(result.error, "");
  EXPECT_TRUE(std::regex_match(fs::path(result.path).filename().string(), std::regex(R"(TAVROCAM_\d{8}_\d{6}\.pdf)")));
  // Only the document: no temporary file beside it.
  EXPECT_EQ(FilesIn(folder), std::vector<std::string>{fs::path(result.path).filename().string()});
  for (const auto& [done, total] : progress) EXPECT_EQ(total, 2);
  EXPECT_EQ(session.PageCount(), 0) << "a finished session starts again empty";

  EXPECT_EQ(scan_test::Run("qpdf", {"--check", result.path}).exitCode, 0);
  const auto info = scan_test::Run("pdfinfo", {result.path});
  EXPECT_TRUE(std::regex_search(info.output, std::regex(R"(Pages:\s+2\n)"))) << info.output;
  EXPECT_TRUE(std::regex_search(info.output, std::regex(R"(Title:\s+Rivers\n)"))) << info.output;
  EXPECT_TRUE(std::regex_search(info.output, std::regex(R"(CreationDate:\s+\S)"))) << info.output;
  // The page measures 297 mm on its longer side: 842 points.
  const std::smatch size = [&] {
    std::smatch m;
    std::regex_search(info.output, m, std::regex(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)"));
    return m;
  }();
  ASSERT_EQ(size.size(), 3u) << info.output;
  EXPECT_NEAR(std::max(std::stod(size[1]), std::stod(size[2])), 842, 12);

  for (int page = 1; page <= 2; ++page) {
    const auto text =
        scan_test::Run("pdftotext", {"-f", std::to_string(page), "-l", std::to_string(page), result.path, "-"});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_GE(scan_test::WordAccuracy(sim::DocumentSceneWords(), text.output), 0.90) << "page " << page << " read as:\n"
                                                                                     << text.output;
  }
}

TEST(Document, APageRendersAsTheStraightenedImage) {
  const std::string folder = scan_test::FreshFolder("render");
  scan::ScanSession session({});
  session.AddPage(scan_test::DocumentScene(3), scan_test::DocumentCorners(3));
  // The straightened page is there once the page is done (a hang guard, not a time).
  for (int i = 0; i < 1800 && session.Pages()[0].state != scan::PageState::kDone; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const cv::Mat straightened = session.StraightenedPage(1);
  ASSERT_FALSE(straightened.empty());
  const scan::DocumentResult result = session.Finish(folder, "TAVROCAM_TEST", "t", 0);
  ASSERT_EQ(result.error, "");
  // Drawn at the page's own resolution, the page is the image pixel for pixel.
  const cv::Mat rendered = RenderFirstPage(result.path, 72 * straightened.rows / 842, folder);
  ASSERT_FALSE(rendered.empty());
  cv::Mat resized;
  cv::resize(rendered, resized, straightened.size(), 0, 0, cv::INTER_AREA);
  cv::Mat difference;
  cv::absdiff(resized, straightened, difference);
  EXPECT_LT(cv::mean(difference)[0], 8.0) << "rendered " << rendered.cols << "x" << rendered.rows;
}

TEST(Document, NamesAreNeverReusedAndAFailedWriteLeavesNothing) {
  const std::string folder = scan_test::FreshFolder("names");
  scan::ScanSession session({});
  session.AddPage(scan_test::DocumentScene(0), scan::WholePicture(1024, 768));
  // Where no file can be made: the reason comes back, and the pages stay.
  std::ofstream(folder + "/a-file") << "x";
  const scan::DocumentResult refused = session.Finish(folder + "/a-file/sub", "TAVROCAM_X", "t", 0);
  EXPECT_NE(refused.error, "");
  EXPECT_EQ(refused.path, "");
  EXPECT_EQ(session.PageCount(), 1);
  // An existing name is kept; the new document takes the next one.
  std::ofstream(folder + "/TAVROCAM_X.pdf") << "older";
  const scan::DocumentResult written = session.Finish(folder, "TAVROCAM_X", "t", 0);
  ASSERT_EQ(written.error, "");
  EXPECT_EQ(fs::path(written.path).filename(), "TAVROCAM_X_2.pdf");
  std::ifstream older(folder + "/TAVROCAM_X.pdf");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(older), {}), "older");
  // An empty session writes nothing.
  EXPECT_NE(session.Finish(folder, "TAVROCAM_Y", "t", 0).error, "");
  EXPECT_FALSE(fs::exists(folder + "/TAVROCAM_Y.pdf"));
}

TEST(Document, AMissingLanguageModelIsNamedWithItsPackageAndWritesNothing) {
  EXPECT_EQ(scan::MissingModelMessage("eng"), "");
  EXPECT_EQ(scan::MissingModelMessage("eng+zzq_old"),
            "No text model for \"zzq_old\": install the Debian package tesseract-ocr-zzq-old");
  EXPECT_NE(scan::MissingModelMessage("eng+").find("Not a language list"), std::string::npos);
  EXPECT_NE(scan::MissingModelMessage("../eng").find("Not a language list"), std::string::npos);

  const std::string folder = scan_test::FreshFolder("model");
  scan::ScanSession session({.languages = "zzq"});
  session.AddPage(scan_test::DocumentScene(0), std::nullopt);
  const scan::DocumentResult result = session.Finish(folder, "TAVROCAM_M", "t", 0);
  EXPECT_NE(result.error.find("tesseract-ocr-zzq"), std::string::npos) << result.error;
  EXPECT_TRUE(FilesIn(folder).empty());
  ASSERT_EQ(session.Pages().size(), 1u);
  EXPECT_EQ(session.Pages()[0].state, scan::PageState::kFailed);
}

TEST(Document, ASessionEndedWhilePagesAreReadStopsCleanly) {
  // Destroying the session with pages queued and one in hand must neither
  // hang nor leave its working files.
  std::string workFolder;
  {
    scan::ScanSession session({});
    workFolder = session.WorkFolder();
    ASSERT_TRUE(fs::is_directory(workFolder));
    for (int i = 0; i < 3; ++i) session.AddPage(scan_test::DocumentScene(i), std::nullopt);
    EXPECT_TRUE(session.RemoveLastPage());
    EXPECT_EQ(session.PageCount(), 2);
  }
  EXPECT_FALSE(fs::exists(workFolder));
}

}  // namespace
