#include "server/web_page.h"

#include <array>

namespace server {

std::span<const WebFile> WebFiles() {
  // Browsers ask for /favicon.ico on their own, whatever the page links.
  static const std::array<WebFile, 6> files = {{
      {"/", "text/html; charset=utf-8", web::kIndexHtml},
      {"/app.js", "text/javascript; charset=utf-8", web::kAppJs},
      {"/smooth.js", "text/javascript; charset=utf-8", web::kSmoothJs},
      {"/style.css", "text/css; charset=utf-8", web::kStyleCss},
      {"/favicon.svg", "image/svg+xml", web::kFaviconSvg},
      {"/favicon.ico", "image/svg+xml", web::kFaviconSvg},
  }};
  return files;
}

std::string_view WebPageHtml() { return web::kIndexHtml; }

}  // namespace server
