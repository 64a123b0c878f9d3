// The command line of tavrocam-scan.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QStringList>

#include "scan/page_corners.h"
#include "scan/scan_look.h"

namespace scan_cli {

struct ScanArguments {
  std::vector<std::string> images;
  std::string output;
  std::string languages = "eng";
  scan::ScanLook look = scan::ScanLook::kColour;
  std::optional<scan::PageCorners> corners;  // the same for every image
  bool whole = false;
};

struct ParsedArguments {
  std::optional<ScanArguments> arguments;  // nothing: print `message` and end
  std::string message;
  int exitCode = 0;  // 0 for --help, 2 for a bad command line
};

ParsedArguments ParseScanArguments(const QStringList& argv);

}  // namespace scan_cli
