#include "scan/text_model.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace scan {

std::string TextModelFolder() {
  const char* prefix = std::getenv("TESSDATA_PREFIX");
  if (prefix && *prefix) return prefix;
  return "/usr/share/tesseract-ocr/5/tessdata";
}

std::vector<std::string> SplitLanguages(const std::string& languages) {
  std::vector<std::string> parts;
  std::string current;
  for (const char c : languages + "+") {
    if (c == '+') {
      if (current.empty()) return {};
      parts.push_back(current);
      current.clear();
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') {
      current += c;
    } else {
      return {};
    }
  }
  return parts;
}

std::string MissingModelMessage(const std::string& languages) {
  const std::vector<std::string> parts = SplitLanguages(languages);
  if (parts.empty()) return "Not a language list: \"" + languages + "\" (for example eng or eng+deu)";
  for (const std::string& lang : parts) {
    std::error_code error;
    if (std::filesystem::is_regular_file(TextModelFolder() + "/" + lang + ".traineddata", error)) continue;
    // Debian names the packages in lower case with '-' for '_' (chi_sim: tesseract-ocr-chi-sim).
    std::string package = lang;
    std::transform(package.begin(), package.end(), package.begin(),
                   [](unsigned char c) { return c == '_' ? '-' : static_cast<char>(std::tolower(c)); });
    return "No text model for \"" + lang + "\": install the Debian package tesseract-ocr-" + package;
  }
  return {};
}

}  // namespace scan
