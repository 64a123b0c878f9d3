#include "server/request_router.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "server/access_token.h"
#include "server/security_headers.h"
#include "server/token_guess_limiter.h"

namespace server {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

constexpr std::string_view kJson = "application/json";
constexpr std::string_view kScanStatePath = "/api/scan";
constexpr std::string_view kLatestDocumentPath = "/scan/latest.pdf";

HttpResponse JsonResponse(int status, std::string body) {
  HttpResponse response;
  response.status = status;
  response.contentType = std::string(kJson);
  response.body = std::move(body);
  response.headers.emplace_back("Cache-Control", "no-store");
  return response;
}

HttpResponse MethodNotAllowed(std::string_view allowed) {
  HttpResponse response = ErrorResponse(405, "method not allowed");
  response.headers.emplace_back("Allow", std::string(allowed));
  return response;
}

// The token from "?token=" or "Authorization: Bearer ...".
std::optional<std::string_view> GivenToken(const HttpRequest& request) {
  if (const auto query = request.Query("token")) return query;
  if (const auto header = request.Header("Authorization")) {
    constexpr std::string_view kBearer = "Bearer ";
    if (header->size() > kBearer.size() && EqualsIgnoringCase(header->substr(0, kBearer.size()), kBearer))
      return header->substr(kBearer.size());
  }
  return std::nullopt;
}

// A control id: 1 to 9 decimal digits and nothing else.
std::optional<int> ParseControlId(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size() || text.front() == '+' || text.front() == '-')
    return std::nullopt;
  return id;
}

// Each button event by its name, which the page posts to (/api/NAME/ID) and
// the answer's "event" repeats.
struct NamedEvent {
  ControlEvent event;
  const char* name;
};
constexpr std::array<NamedEvent, 3> kControlEvents = {{
    {ControlEvent::Click, "click"},
    {ControlEvent::Down, "down"},
    {ControlEvent::Up, "up"},
}};

const char* EventName(ControlEvent event) {
  for (const auto& named : kControlEvents)
    if (named.event == event) return named.name;
  return "";
}

// The ID of /api/NAME/ID, when `path` is one of those.
std::optional<std::string_view> ControlIdText(std::string_view path, std::string_view name) {
  constexpr std::string_view kControlRoot = "/api/";
  if (!path.starts_with(kControlRoot)) return std::nullopt;
  path.remove_prefix(kControlRoot.size());
  if (!path.starts_with(name) || !path.substr(name.size()).starts_with('/')) return std::nullopt;
  return path.substr(name.size() + 1);
}

// The desktop could not run it now; the client may try again shortly.
HttpResponse NotNow(std::string_view reason) {
  HttpResponse response = ErrorResponse(503, reason.empty() ? "not available" : reason);
  response.headers.emplace_back("Retry-After", "1");
  return response;
}

HttpResponse ControlResponse(ControlEvent event, int id, const ControlOutcome& outcome) {
  const std::string head = "{\"id\": " + std::to_string(id) + ", \"event\": \"" + EventName(event) + "\", ";
  switch (outcome.kind) {
    case ControlOutcome::Kind::Done: return JsonResponse(200, head + "\"ok\": true}");
    case ControlOutcome::Kind::Ignored:
      return JsonResponse(200, head + "\"ok\": false, \"reason\": " + JsonString(outcome.reason) + "}");
    case ControlOutcome::Kind::DialogButton:
      return JsonResponse(409, head + "\"ok\": false, \"error\": " + JsonString(outcome.reason) + "}");
    case ControlOutcome::Kind::UnknownId:
      return ErrorResponse(404, outcome.reason.empty() ? "no such control" : outcome.reason);
    case ControlOutcome::Kind::Busy:
    case ControlOutcome::Kind::Stopping: return NotNow(outcome.reason);
  }
  return ErrorResponse(500, "internal error");
}

HttpResponse ScanResponse(const ScanOutcome& outcome) {
  const std::string members = ScanStatusMembers(outcome.status);
  switch (outcome.kind) {
    case ScanOutcome::Kind::Done: return JsonResponse(200, "{\"ok\": true, " + members + "}");
    // The document is written on the desktop's time; the page follows GET /api/scan.
    case ScanOutcome::Kind::Started: return JsonResponse(202, "{\"ok\": true, " + members + "}");
    case ScanOutcome::Kind::Refused:
      return JsonResponse(409, "{\"ok\": false, \"error\": " + JsonString(outcome.reason) + ", " + members + "}");
    case ScanOutcome::Kind::Unavailable: return ErrorResponse(404, outcome.reason);
    case ScanOutcome::Kind::Busy:
    case ScanOutcome::Kind::Stopping: return NotNow(outcome.reason);
  }
  return ErrorResponse(500, "internal error");
}

HttpResponse FileResponse(std::string contentType, std::string bytes, bool cacheable) {
  HttpResponse response;
  response.contentType = std::move(contentType);
  response.body = std::move(bytes);
  response.headers.emplace_back("Cache-Control", cacheable ? "max-age=3600" : "no-store");
  return response;
}

HttpResponse RouteGet(const HttpRequest& request, IRouterBackend& backend) {
  const std::string_view path = request.path;
  if (path == "/stream.mjpg" || path == "/stream.mp4") {
    HttpResponse response;
    response.stream = true;
    response.mp4 = path == "/stream.mp4";
    return response;
  }
  if (path == "/api/state") {
    auto state = backend.StateJson();
    if (!state) return ErrorResponse(503, "the desktop did not answer in time");
    return JsonResponse(200, std::move(*state));
  }
  if (path == "/api/layout") return JsonResponse(200, backend.LayoutJson());
  if (path == kScanStatePath || path == kLatestDocumentPath) {
    const auto scan = backend.ScanState();
    if (!scan) return ErrorResponse(503, "the desktop did not answer in time");
    if (path == kScanStatePath) return JsonResponse(200, "{" + ScanStatusMembers(*scan) + "}");
    if (scan->lastDocument.empty()) return ErrorResponse(404, "no document has been finished yet");
    HttpResponse response = FileResponse("application/pdf", {}, false);
    response.file = scan->lastDocument;
    response.headers.emplace_back("Content-Disposition",
                                  "inline; filename=\"" + DocumentDownloadName(scan->lastDocument) + "\"");
    return response;
  }
  if (path == "/snapshot.jpg" || path == "/snapshot.bmp") {
    const bool jpeg = path == "/snapshot.jpg";
    auto bytes = jpeg ? backend.SnapshotJpeg() : backend.SnapshotBmp();
    if (!bytes) return ErrorResponse(503, "no picture yet");
    HttpResponse response = FileResponse(jpeg ? "image/jpeg" : "image/bmp", std::move(*bytes), false);
    response.headers.emplace_back("Content-Disposition",
                                  jpeg ? "inline; filename=\"snapshot.jpg\"" : "attachment; filename=\"snapshot.bmp\"");
    return response;
  }
  if (auto asset = backend.FindAsset(path)) {
    // The page names its images by content, so they may be kept; the page,
    // its script and style may not, or a browser would mix two versions.
    const bool cacheable = path.starts_with("/img/");
    HttpResponse response = FileResponse(std::move(asset->contentType), std::move(asset->bytes), cacheable);
    if (path == "/") response.headers.emplace_back("Content-Security-Policy", std::string(kContentSecurityPolicy));
    return response;
  }
  return ErrorResponse(404, "not found");
}

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

bool TargetHasControlByte(const HttpRequest& request) {
  if (request.controlByteInTarget || HasControlByte(request.path)) return true;
  return std::any_of(request.query.begin(), request.query.end(),
                     [](const auto& item) { return HasControlByte(item.first) || HasControlByte(item.second); });
}

// Nothing when the token is right or none is needed, else the refusal.
std::optional<HttpResponse> TokenRefusal(const HttpRequest& request, const RouterConfig& config) {
  if (config.token.empty()) return std::nullopt;
  if (config.guessLimiter) {
    if (const long long seconds = config.guessLimiter->LockedSeconds(request.clientAddress); seconds > 0) {
      HttpResponse response = ErrorResponse(429, "too many wrong tokens; try again later");
      response.headers.emplace_back("Retry-After", std::to_string(seconds));
      return response;
    }
  }
  const auto given = GivenToken(request);
  if (given && TokensEqual(*given, config.token)) return std::nullopt;
  // Only a token that was sent counts as a guess; a page opened without one does not.
  if (given && config.guessLimiter) config.guessLimiter->RecordWrong(request.clientAddress);
  HttpResponse response = ErrorResponse(401, "a valid token is needed");
  response.headers.emplace_back("WWW-Authenticate", "Bearer");
  return response;
}

// Nothing when `request` may act (press a button, take a page), else its refusal.
std::optional<HttpResponse> ActionRefusalResponse(const HttpRequest& request, const RouterConfig& config) {
  if (request.method != "POST") return MethodNotAllowed("POST");
  const HeaderLookup lookup{request.Header("Origin"), request.Header("Sec-Fetch-Site"), request.Header(kActionHeader)};
  if (const std::string refused = ActionRefusal(lookup, config.site, request.localAddress); !refused.empty())
    return ErrorResponse(403, refused);
  return std::nullopt;
}

bool IsGetPath(const HttpRequest& request, IRouterBackend& backend) {
  const std::string_view path = request.path;
  return path == "/stream.mjpg" || path == "/stream.mp4" || path == "/api/state" || path == "/api/layout" ||
         path == "/snapshot.jpg" || path == "/snapshot.bmp" || path == kScanStatePath || path == kLatestDocumentPath ||
         backend.FindAsset(path).has_value();
}

}  // namespace

std::optional<std::string_view> HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (EqualsIgnoringCase(key, name)) return std::string_view(value);
  return std::nullopt;
}

std::optional<std::string_view> HttpRequest::Query(std::string_view name) const {
  for (const auto& [key, value] : query)
    if (key == name) return std::string_view(value);
  return std::nullopt;
}

std::string JsonString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      std::array<char, 8> escape{};
      std::snprintf(escape.data(), escape.size(), "\\u%04x", u);
      out += escape.data();
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

HttpResponse ErrorResponse(int status, std::string_view message) {
  return JsonResponse(status, "{\"error\": " + JsonString(message) + "}");
}

HttpResponse RouteRequest(const HttpRequest& request, IRouterBackend& backend, const RouterConfig& config) {
  if (request.bodyLengthMalformed) return ErrorResponse(400, "Content-Length is not a number");
  // Before anything else: a name we do not answer to is a rebound one.
  const auto host = request.Header("Host");
  if (!host || !HostAllowed(*host, config.site, request.localAddress))
    return ErrorResponse(421, "this server does not answer to that host name");
  if (TargetHasControlByte(request)) return ErrorResponse(400, "control character in the request target");
  if (auto refused = TokenRefusal(request, config)) return std::move(*refused);
  if (request.bodyTooLarge) return ErrorResponse(413, "request body larger than 4096 bytes");

  const std::string_view path = request.path;
  for (const auto& [event, name] : kControlEvents) {
    const auto idText = ControlIdText(path, name);
    if (!idText) continue;
    const auto id = ParseControlId(*idText);
    if (!id) return ErrorResponse(404, "no such control");
    if (auto refused = ActionRefusalResponse(request, config)) return std::move(*refused);
    return ControlResponse(event, *id, backend.RunControlEvent(event, *id, request.client));
  }
  constexpr std::array<std::pair<std::string_view, ScanAction>, 3> kScanPaths = {{
      {"/api/scan/page", ScanAction::AddPage},
      {"/api/scan/undo", ScanAction::UndoPage},
      {"/api/scan/finish", ScanAction::Finish},
  }};
  for (const auto& [scanPath, action] : kScanPaths) {
    if (path != scanPath) continue;
    if (auto refused = ActionRefusalResponse(request, config)) return std::move(*refused);
    return ScanResponse(backend.RunScanAction(action));
  }

  if (request.method == "GET" || request.method == "HEAD") {
    HttpResponse response = RouteGet(request, backend);
    if (request.method == "HEAD" && response.stream) {
      // The stream never ends; a HEAD gets its headers only.
      response.stream = false;
      response.contentType = response.mp4 ? "video/mp4" : "multipart/x-mixed-replace; boundary=tavrocamframe";
      response.mp4 = false;
    }
    return response;
  }
  if (IsGetPath(request, backend)) return MethodNotAllowed("GET, HEAD");
  return ErrorResponse(404, "not found");
}

}  // namespace server
