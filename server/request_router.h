// The web server's request handling as one pure function: method, path,
// query, headers and body in; status, headers and body out. Nothing here
// touches a socket, so it can be driven directly by tests and fuzzers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/request_guard.h"
#include "server/scan_status.h"

namespace server {

class CTokenGuessLimiter;

inline constexpr std::size_t kMaxBodyBytes = 4096;

struct HttpRequest {
  std::string method;
  std::string path;
  std::vector<std::pair<std::string, std::string>> query;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // The client sent more than kMaxBodyBytes; `body` holds only the start.
  bool bodyTooLarge = false;
  // Content-Length was not a plain decimal number (negative, say).
  bool bodyLengthMalformed = false;
  // Names the connection the request came on; press-and-hold buttons are
  // released when it closes.
  std::uintptr_t client = 0;
  // The client's address, and ours the connection arrived on (IP literals).
  std::string clientAddress;
  std::string localAddress;
  // The request target held a control byte (a NUL included) once decoded,
  // which the decoded `path` and `query` may not show.
  bool controlByteInTarget = false;

  // Case-insensitive header lookup.
  std::optional<std::string_view> Header(std::string_view name) const;
  std::optional<std::string_view> Query(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // The caller serves the live MJPEG stream in place of `body` (the H.264
  // one when `mp4` is set too).
  bool stream = false;
  bool mp4 = false;
  // The caller sends this file in place of `body` (a finished document,
  // which may be large), or 404 when it cannot be opened.
  std::string file;
};

enum class ControlEvent { Click, Down, Up };

struct ControlOutcome {
  enum class Kind {
    Done,          // the panel's handler ran
    Ignored,       // the handler ran and did nothing (e.g. Click on a press-and-hold button)
    UnknownId,     // no button with that id, or not one taking this event
    DialogButton,  // the button opens a desktop dialog
    Busy,          // the desktop could not run it in time, or a dialog is open there
    Stopping,      // the server is shutting down
  };
  Kind kind = Kind::Done;
  std::string reason;
};

// What the router asks of the running program. Calls come from the
// server's connection threads.
class IRouterBackend {
 public:
  virtual ~IRouterBackend() = default;
  // JSON object of the picture and the looks of all buttons.
  virtual std::optional<std::string> StateJson() = 0;  // nothing: the desktop did not answer
  // JSON array of the panel's controls from its layout table.
  virtual std::string LayoutJson() = 0;
  virtual ControlOutcome RunControlEvent(ControlEvent event, int id, std::uintptr_t client) = 0;
  // The current picture as a file of that kind; nothing before the first picture.
  virtual std::optional<std::string> SnapshotJpeg() = 0;
  virtual std::optional<std::string> SnapshotBmp() = 0;
  // An embedded file of the page (the page itself is "/"); nothing if unknown.
  struct Asset {
    std::string contentType;
    std::string bytes;
  };
  virtual std::optional<Asset> FindAsset(std::string_view path) = 0;
  // The scan session; nothing: the desktop did not answer. A backend
  // without one has no pages and takes no scan action.
  virtual std::optional<ScanStatus> ScanState() { return ScanStatus{}; }
  virtual ScanOutcome RunScanAction(ScanAction) {
    return {ScanOutcome::Kind::Unavailable, "this program does not scan pages", {}};
  }
};

struct RouterConfig {
  // Empty: no token needed (loopback only).
  std::string token;
  // The names and port requests must be addressed to.
  SiteIdentity site;
  // Counts wrong tokens per client address; none: not counted.
  CTokenGuessLimiter* guessLimiter = nullptr;
};

HttpResponse RouteRequest(const HttpRequest& request, IRouterBackend& backend, const RouterConfig& config);

// {"error": message} with that status.
HttpResponse ErrorResponse(int status, std::string_view message);

// `text` as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace server
