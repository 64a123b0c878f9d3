// What the scan suites share: the document scene as a picture, programs run
// beside the test, and word accuracy by edit distance.
#pragma once

#include <opencv2/core/mat.hpp>
#include <string>
#include <vector>

#include "scan/page_corners.h"

namespace scan_test {

// The simulated camera's document scene at XGA, as the host receives it.
cv::Mat DocumentScene(int place);
scan::PageCorners DocumentCorners(int place);

struct RunResult {
  int exitCode = -1;  // -1: did not end by itself
  std::string output;
};
RunResult Run(const std::string& program, const std::vector<std::string>& args);

// Lower case, letters and digits only; empty words dropped.
std::vector<std::string> NormalisedWords(const std::string& text);
// 1 - (word edit distance from `reference` to `read`) / reference length.
double WordAccuracy(const std::vector<std::string>& reference, const std::string& read);

// A fresh folder under the test's temporary folder.
std::string FreshFolder(const std::string& name);

}  // namespace scan_test
