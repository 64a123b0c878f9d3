// scan_bench: what a scanned page costs and how well it reads, beside
// OCRmyPDF (`ocrmypdf --image-dpi D --output-type pdf`) run on the same
// straightened pages and on the raw pictures; the outline step per XGA
// frame beside a copy of the frame; one page read with the recogniser kept
// to one thread from the environment beside kept so by the program; and the
// live view's frame rate on the paced camera while pages are read beside
// the rate without a scan session. Prints ratios from this one run.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <opencv2/core.hpp>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QSettings>
#include <QTest>

#include "app/capture_settings.h"
#include "app/main_frame.h"
#include "app/scan_controller.h"
#include "bench/support/bench_program.h"
#include "bench/support/clocks.h"
#include "bench/support/scratch_profile.h"
#include "scan/page_jpeg.h"
#include "scan/page_outline.h"
#include "scan/page_text.h"
#include "scan/scan_page.h"
#include "scan/scan_session.h"
#include "sim/document_scene.h"

namespace {

constexpr int kPages = 3;
constexpr int kOutlineFrames = 60;
// Pages queued for reading while the frame rate is measured: more than the
// reader gets through in the measured seconds.
constexpr int kPagesInFlight = 5;
constexpr double kTargetRateShare = 0.95;
constexpr char kReadOnePage[] = "--read-one-page";

cv::Mat Scene(int place) {
  sim::Picture p = sim::RenderDocumentScene(1024, 768, place);
  return cv::Mat(p.height, p.width, CV_8UC3, p.bgr.data()).clone();
}

std::string Output(const std::string& command) {
  std::string text;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    ::pclose(pipe);
  }
  return text;
}

double Accuracy(const std::string& read) {
  // Word edit distance over the scene's words, case and punctuation aside.
  auto words = [](const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    for (const char c : text + " ") {
      if (std::isalnum(static_cast<unsigned char>(c))) {
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      } else if (std::isspace(static_cast<unsigned char>(c)) && !word.empty()) {
        out.push_back(word);
        word.clear();
      }
    }
    return out;
  };
  std::string joined;
  for (const auto& w : sim::DocumentSceneWords()) joined += w + " ";
  const auto ref = words(joined);
  const auto got = words(read);
  std::vector<std::size_t> prev(got.size() + 1), cur(got.size() + 1);
  for (std::size_t j = 0; j <= got.size(); ++j) prev[j] = j;
  for (std::size_t i = 1; i <= ref.size(); ++i) {
    cur[0] = i;
    for (std::size_t j = 1; j <= got.size(); ++j)
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (ref[i - 1] == got[j - 1] ? 0 : 1)});
    std::swap(prev, cur);
  }
  return 1.0 - static_cast<double>(prev[got.size()]) / static_cast<double>(ref.size());
}

struct Figures {
  double msPerPage = 0;
  double accuracy = 0;  // mean over the pages
  double bytesPerPage = 0;
};

double PdfAccuracy(const std::string& pdf, int pages) {
  double sum = 0;
  for (int p = 1; p <= pages; ++p) {
    sum += Accuracy(
        Output("pdftotext -f " + std::to_string(p) + " -l " + std::to_string(p) + " '" + pdf + "' - 2>/dev/null"));
  }
  return sum / pages;
}

double FileBytes(const std::string& path) {
  std::error_code e;
  const auto size = std::filesystem::file_size(path, e);
  return e ? 0 : static_cast<double>(size);
}

Figures OcrMyPdf(const std::vector<std::string>& jpegs, const std::vector<int>& dpis, const std::string& folder,
                 const std::string& tag) {
  Figures f;
  for (std::size_t i = 0; i < jpegs.size(); ++i) {
    const std::string out = folder + "/" + tag + std::to_string(i) + ".pdf";
    const double start = bench::ClockMs(CLOCK_MONOTONIC);
    // Its recogniser kept to one thread as ours is: with two of them on two cores a page takes ten times longer.
    const std::string command = "OMP_THREAD_LIMIT=1 ocrmypdf -q --image-dpi " + std::to_string(dpis[i]) +
                                " --output-type pdf -l eng '" + jpegs[i] + "' '" + out + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "ocrmypdf failed on %s\n", jpegs[i].c_str());
    f.msPerPage += bench::ClockMs(CLOCK_MONOTONIC) - start;
    f.accuracy += PdfAccuracy(out, 1);
    f.bytesPerPage += FileBytes(out);
  }
  const double n = static_cast<double>(jpegs.size());
  return {f.msPerPage / n, f.accuracy / n, f.bytesPerPage / n};
}

// The child's part: the best of two readings of one straightened page of the
// document scene, in milliseconds, on standard output.
int ReadOnePage() {
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("tavrocam-scan-bench-page-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(folder);
  scan::ScanPage page;
  page.picture = Scene(0);
  if (!scan::StraightenAndEven(page)) return 1;
  double best = 1e9;
  for (int i = 0; i < 2; ++i) {
    const double start = bench::ClockMs(CLOCK_MONOTONIC);
    if (!scan::ReadAndRender(page, folder, "page")) return 1;
    best = std::min(best, bench::ClockMs(CLOCK_MONOTONIC) - start);
  }
  std::filesystem::remove_all(folder);
  std::printf("%.1f\n", best);
  return 0;
}

// One page read by a child with `environment` before it.
double ChildPageMs(const std::string& environment) {
  const std::string text = Output(environment + " /proc/" + std::to_string(::getpid()) + "/exe " + kReadOnePage);
  return text.empty() ? -1 : std::atof(text.c_str());
}

struct RateResult {
  double fps = 0;
  int pagesRead = 0;
};

// The whole program on the paced camera at 1024 x 768 showing the document
// scene; with `pages`, that many are taken with P first and read meanwhile.
RateResult ProgramRate(int seconds, int pages) {
  bench::CBenchProgram program(2, true);
  if (!program.Started()) return {};
  CScanController& scan = *program.Frame().ScanController();
  QTest::qWait(1000);  // the first frames and the window's resize
  for (int i = 0; i < pages; ++i) scan.AddPage();
  const auto done = [&] {
    int count = 0;
    for (const scan::PageSummary& page : scan.Pages()) count += page.state == scan::PageState::kDone;
    return count;
  };
  const int before = done();
  RateResult result;
  result.fps = program.Measure(seconds).fps;
  result.pagesRead = done() - before;
  // Nothing is left for exit to write.
  while (scan.RemoveLastPage()) {
  }
  return result;
}

// Without and with pages being read, in turn and each side first as often,
// so that a slow moment of the machine does not fall on one side only.
void ReportRates(int seconds) {
  constexpr int kRounds = 4;
  double without = 0, with = 0;
  int pagesRead = 0;
  for (int round = 0; round < kRounds; ++round) {
    RateResult reading;
    if (round % 2 == 1) reading = ProgramRate(seconds, kPagesInFlight);
    without += ProgramRate(seconds, 0).fps / kRounds;
    if (round % 2 == 0) reading = ProgramRate(seconds, kPagesInFlight);
    with += reading.fps / kRounds;
    pagesRead += reading.pagesRead;
  }
  std::printf(
      "paced camera at 1024x768, document scene: view %.1f fps without a session, %.1f fps while pages are read "
      "(%d pages read in %d s)\n",
      without, with, pagesRead, kRounds * seconds);
  std::printf("summary: view rate reading / not reading %.3f (target %.2f %s)\n", with / without, kTargetRateShare,
              with / without >= kTargetRateShare ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], kReadOnePage) == 0) return ReadOnePage();
  const bench::CScratchProfile profile;
  QApplication application(argc, argv);
  const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  // The view's rate alone.
  if (argc > 1 && std::strcmp(argv[1], "--rate") == 0) {
    ReportRates(4);
    return 0;
  }
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "TQ400 Application", "TAVROCAM")
      .setValue(QStringLiteral("Setting/%1").arg(kProfileCaptureDir), profile.FilePath("captures"));
  const std::string folder = (std::filesystem::temp_directory_path() / "tavrocam-scan-bench").string();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::vector<cv::Mat> scenes;
  for (int place = 0; place < kPages; ++place) scenes.push_back(Scene(place));
  if (scenes.front().empty()) {
    std::fprintf(stderr, "the document scene's typeface is missing (fonts-dejavu-core)\n");
    return 1;
  }

  // The outline on every live frame, beside copying that frame once.
  double outlineMs = 0, copyMs = 0;
  for (int i = 0; i < kOutlineFrames; ++i) {
    const cv::Mat& frame = scenes[static_cast<std::size_t>(i % kPages)];
    double t = bench::ClockMs(CLOCK_MONOTONIC);
    const cv::Mat copy = frame.clone();
    copyMs += bench::ClockMs(CLOCK_MONOTONIC) - t;
    t = bench::ClockMs(CLOCK_MONOTONIC);
    if (!scan::FindPageOutline(copy)) std::fprintf(stderr, "no outline in frame %d\n", i);
    outlineMs += bench::ClockMs(CLOCK_MONOTONIC) - t;
  }
  outlineMs /= kOutlineFrames;
  copyMs /= kOutlineFrames;

  // Ours: every step per page, on one worker, the document written at the end.
  Figures ours;
  std::vector<std::string> straightJpegs, rawJpegs;
  std::vector<int> straightDpi, rawDpi;
  {
    scan::ScanSession session({.workers = 1});
    const double start = bench::ClockMs(CLOCK_MONOTONIC);
    for (const cv::Mat& scene : scenes) session.AddPage(scene, std::nullopt);
    // Keep the straightened pages for OCRmyPDF before the session lets them go.
    for (int p = 1; p <= kPages; ++p) {
      while (session.Pages()[static_cast<std::size_t>(p - 1)].state != scan::PageState::kDone &&
             session.Pages()[static_cast<std::size_t>(p - 1)].state != scan::PageState::kFailed) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      const cv::Mat page = session.StraightenedPage(p);
      const std::string path = folder + "/straight" + std::to_string(p) + ".jpg";
      scan::WritePageJpeg(page, path);
      straightJpegs.push_back(path);
      straightDpi.push_back(scan::PageResolution(page.size()));
    }
    const std::string pdf = folder + "/ours.pdf";
    const auto result = session.FinishTo(pdf, "bench", 0);
    ours.msPerPage = (bench::ClockMs(CLOCK_MONOTONIC) - start) / kPages;
    if (!result.error.empty()) std::fprintf(stderr, "%s\n", result.error.c_str());
    ours.accuracy = PdfAccuracy(pdf, kPages);
    ours.bytesPerPage = FileBytes(pdf) / kPages;
  }
  for (int p = 0; p < kPages; ++p) {
    const std::string path = folder + "/raw" + std::to_string(p) + ".jpg";
    scan::WritePageJpeg(scenes[static_cast<std::size_t>(p)], path);
    rawJpegs.push_back(path);
    rawDpi.push_back(scan::PageResolution(scenes[static_cast<std::size_t>(p)].size()));
  }
  const Figures straight = OcrMyPdf(straightJpegs, straightDpi, folder, "omp-straight");
  const Figures raw = OcrMyPdf(rawJpegs, rawDpi, folder, "omp-raw");

  // One reader thread: the limit from the start beside the program's own call, in turn.
  double limitMs = 1e9, callMs = 1e9;
  for (int round = 0; round < 2; ++round) {
    limitMs = std::min(limitMs, ChildPageMs("OMP_THREAD_LIMIT=1"));
    callMs = std::min(callMs, ChildPageMs("env -u OMP_THREAD_LIMIT"));
  }

  std::printf("outline per XGA frame: %.2f ms, %.1f x a copy of the frame (%.3f ms); budget 5 ms\n", outlineMs,
              outlineMs / copyMs, copyMs);
  std::printf("per page, end to end (%d pages of the document scene):\n", kPages);
  std::printf("  ours:                     %7.0f ms  words %.1f %%  %7.0f bytes\n", ours.msPerPage, 100 * ours.accuracy,
              ours.bytesPerPage);
  std::printf("  OCRmyPDF, straightened:   %7.0f ms  words %.1f %%  %7.0f bytes\n", straight.msPerPage,
              100 * straight.accuracy, straight.bytesPerPage);
  std::printf("  OCRmyPDF, raw pictures:   %7.0f ms  words %.1f %%  %7.0f bytes\n", raw.msPerPage, 100 * raw.accuracy,
              raw.bytesPerPage);
  std::printf("ratios ours / OCRmyPDF on straightened: time %.2f, size %.2f; words %+.1f points\n",
              ours.msPerPage / straight.msPerPage, ours.bytesPerPage / straight.bytesPerPage,
              100 * (ours.accuracy - straight.accuracy));
  std::printf("ratios ours / OCRmyPDF on raw pictures: time %.2f, size %.2f; words %+.1f points\n",
              ours.msPerPage / raw.msPerPage, ours.bytesPerPage / raw.bytesPerPage,
              100 * (ours.accuracy - raw.accuracy));
  std::printf(
      "one page read on one thread: %.0f ms with OMP_THREAD_LIMIT=1 from the start, %.0f ms with the program's "
      "own call (ratio %.2f)\n",
      limitMs, callMs, callMs / limitMs);
  ReportRates(quick ? 2 : 4);
  std::filesystem::remove_all(folder);
  return 0;
}
