// tavrocam-scan: the program's page path for picture files.
#include <cstdio>
#include <ctime>
#include <filesystem>

#include <QCoreApplication>

#include "scan/cli/picture_reader.h"
#include "scan/cli/scan_arguments.h"
#include "scan/scan_session.h"
#include "scan/text_model.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const scan_cli::ParsedArguments parsed = scan_cli::ParseScanArguments(QCoreApplication::arguments());
  if (!parsed.arguments) {
    std::fprintf(parsed.exitCode == 0 ? stdout : stderr, "%s\n", parsed.message.c_str());
    return parsed.exitCode;
  }
  const scan_cli::ScanArguments& args = *parsed.arguments;
  if (const std::string missing = scan::MissingModelMessage(args.languages); !missing.empty()) {
    std::fprintf(stderr, "%s\n", missing.c_str());
    return 1;
  }

  scan::ScanSession session({.languages = args.languages, .look = args.look});
  if (!session.Problem().empty()) {
    std::fprintf(stderr, "%s\n", session.Problem().c_str());
    return 1;
  }
  for (const std::string& image : args.images) {
    std::string error;
    const cv::Mat picture = scan_cli::ReadPagePicture(image, error);
    if (picture.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    std::optional<scan::PageCorners> corners = args.corners;
    if (args.whole) corners = scan::WholePicture(picture.cols, picture.rows);
    session.AddPage(picture, corners);
  }
  const std::string title = std::filesystem::path(args.output).stem().string();
  const scan::DocumentResult result = session.FinishTo(args.output, title, std::time(nullptr));
  if (!result.error.empty()) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    return 1;
  }
  std::printf("%s: %zu pages\n", result.path.c_str(), args.images.size());
  return 0;
}
