#include "server/scan_status.h"

#include "server/request_router.h"

namespace server {

namespace {

std::string JsonStringOrNull(const std::string& text) { return text.empty() ? std::string("null") : JsonString(text); }

}  // namespace

std::string ScanStatusMembers(const ScanStatus& status) {
  std::string states;
  for (const std::string& state : status.pageStates) states += (states.empty() ? "" : ", ") + JsonString(state);
  const std::string document = status.lastDocument.empty() ? std::string() : DocumentDownloadName(status.lastDocument);
  return "\"pages\": " + std::to_string(status.pageStates.size()) + ", \"states\": [" + states +
         "], \"read\": " + std::to_string(status.pagesRead) +
         ", \"finishing\": " + (status.finishing ? "true" : "false") + ", \"document\": " + JsonStringOrNull(document) +
         ", \"finish_error\": " + JsonStringOrNull(status.finishError);
}

std::string DocumentDownloadName(std::string_view path) {
  const auto slash = path.find_last_of('/');
  std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
  for (char& c : name) {
    const bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!plain) c = '_';
  }
  return name.empty() ? std::string("document.pdf") : name;
}

}  // namespace server
