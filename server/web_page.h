// The page the server offers and the files it loads: the live picture beside
// the whole panel. They live in server/web/ and are built into the program.
#pragma once

#include <span>
#include <string_view>

namespace server {

namespace web {
extern const std::string_view kIndexHtml;
extern const std::string_view kAppJs;
extern const std::string_view kSmoothJs;
extern const std::string_view kStyleCss;
extern const std::string_view kFaviconSvg;
}  // namespace web

struct WebFile {
  std::string_view path;
  std::string_view contentType;
  std::string_view bytes;
};

// Every file of the page, "/" first.
std::span<const WebFile> WebFiles();

std::string_view WebPageHtml();

}  // namespace server
