#include "tests/scan/scan_test_support.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <sstream>

#include "sim/document_scene.h"
#include "tests/support/child_process.h"

namespace scan_test {

cv::Mat DocumentScene(int place) {
  const sim::Picture picture = sim::RenderDocumentScene(1024, 768, place);
  if (picture.bgr.empty()) return {};
  cv::Mat view(picture.height, picture.width, CV_8UC3, const_cast<std::uint8_t*>(picture.bgr.data()));
  return view.clone();
}

scan::PageCorners DocumentCorners(int place) {
  const auto corners = sim::DocumentSceneCorners(1024, 768, place);
  scan::PageCorners result;
  for (std::size_t i = 0; i < 4; ++i) {
    result.points[i] = {static_cast<float>(corners[i].x), static_cast<float>(corners[i].y)};
  }
  return result;
}

RunResult Run(const std::string& program, const std::vector<std::string>& args) {
  CChildProcess child(program, args);
  // A hang guard only: a page takes seconds.
  if (!child.WaitFinished(std::chrono::minutes(3))) child.Kill();
  return {child.ExitCode().value_or(-1), child.Output()};
}

std::vector<std::string> NormalisedWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string raw; stream >> raw;) {
    std::string word;
    for (const char c : raw) {
      if (std::isalnum(static_cast<unsigned char>(c)))
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

double WordAccuracy(const std::vector<std::string>& reference, const std::string& read) {
  std::string joined;
  for (const std::string& w : reference) joined += w + " ";
  const std::vector<std::string> ref = NormalisedWords(joined);
  const std::vector<std::string> got = NormalisedWords(read);
  if (ref.empty()) return 0;
  std::vector<std::size_t> previous(got.size() + 1);
  std::vector<std::size_t> current(got.size() + 1);
  for (std::size_t j = 0; j <= got.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= ref.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j <= got.size(); ++j) {
      const std::size_t substitute = previous[j - 1] + (ref[i - 1] == got[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitute});
    }
    std::swap(previous, current);
  }
  return 1.0 - static_cast<double>(previous[got.size()]) / static_cast<double>(ref.size());
}

std::string FreshFolder(const std::string& name) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("tavrocam-scan-test-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder.string();
}

}  // namespace scan_test
