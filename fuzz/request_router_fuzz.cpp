// The web server's request handling, as a connection thread would call it,
// with any method, path, query, headers and body. Checks what must hold
// whatever a client sends: a known status, a request to a name that is not
// ours gets 421 and nothing else, a token-protected server answers nothing
// but 401 (or 429) without the token, every JSON answer is an object, only a
// POST with a well-formed id, from our own origin and with the action header,
// reaches the panel, and likewise only such a POST to a scan action reaches
// the scan session, nothing with a control byte in its target does, only
// GET of a stream path streams (the H.264 one only from its own), only GET or
// HEAD of the latest document is answered from a file, no header value holds
// a control byte, and a 405 names what is allowed.
//
// Input, front to back: a flags byte (bit 0: the server wants a token; bit 1:
// the body was cut at the limit; bit 2: the desktop does not answer; bit 3:
// no picture yet; bits 4-6: what the panel's handler reports; bit 7: the
// raw target held a control byte), then text:
// "METHOD TARGET" on the first line, where TARGET is a path with an optional
// "?name=value&..." query, a header "Name: value" on each following line up
// to an empty line, and the body after it.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "server/request_guard.h"
#include "server/request_router.h"
#include "server/token_guess_limiter.h"

namespace {

constexpr std::string_view kToken = "fuzz-token-0123456789abcdef";

void Require(bool condition) {
  if (!condition) std::abort();
}

class FixedBackend final : public server::IRouterBackend {
 public:
  FixedBackend(std::uint8_t flags, const fuzz::FuzzInput& input)
      : m_stateAnswers(!input.Flag(flags, 2)),
        m_hasPicture(!input.Flag(flags, 3)),
        m_outcome(static_cast<server::ControlOutcome::Kind>((flags >> 4 & 7) % 6)) {}

  std::optional<std::string> StateJson() override {
    if (!m_stateAnswers) return std::nullopt;
    return std::string("{\"width\": 1024, \"height\": 768}");
  }
  std::string LayoutJson() override { return "{\"controls\": []}"; }
  server::ControlOutcome RunControlEvent(server::ControlEvent, int id, std::uintptr_t) override {
    ++controlCalls;
    lastId = id;
    return {m_outcome, "reason \"quoted\"\n"};
  }
  std::optional<std::string> SnapshotJpeg() override {
    return m_hasPicture ? std::optional<std::string>("\xFF\xD8\xFF\xD9") : std::nullopt;
  }
  std::optional<std::string> SnapshotBmp() override {
    return m_hasPicture ? std::optional<std::string>("BM") : std::nullopt;
  }
  std::optional<Asset> FindAsset(std::string_view path) override {
    if (path == "/") return Asset{"text/html; charset=utf-8", "<html></html>"};
    if (path == "/img/panel.png") return Asset{"image/png", "\x89PNG"};
    return std::nullopt;
  }

  std::optional<server::ScanStatus> ScanState() override {
    if (!m_stateAnswers) return std::nullopt;
    server::ScanStatus status;
    status.pageStates = {"done", "reading \"text\"\n"};
    if (m_hasPicture) status.lastDocument = "/tmp/pages/TAVROCAM_20260101_120000 \"x\".pdf";
    status.finishError = "Cannot write\r\n";
    return status;
  }
  server::ScanOutcome RunScanAction(server::ScanAction) override {
    ++scanCalls;
    return {static_cast<server::ScanOutcome::Kind>(static_cast<int>(m_outcome) % 6), "reason\t\"x\"",
            ScanState().value_or(server::ScanStatus{})};
  }

  int controlCalls = 0;
  int lastId = -1;
  int scanCalls = 0;

 private:
  bool m_stateAnswers;
  bool m_hasPicture;
  server::ControlOutcome::Kind m_outcome;
};

std::vector<std::pair<std::string, std::string>> ParseQuery(std::string_view query) {
  std::vector<std::pair<std::string, std::string>> pairs;
  while (!query.empty()) {
    const std::string_view item = query.substr(0, query.find('&'));
    query.remove_prefix(std::min(query.size(), item.size() + 1));
    const auto equals = item.find('=');
    if (equals == std::string_view::npos)
      pairs.emplace_back(std::string(item), std::string());
    else
      pairs.emplace_back(std::string(item.substr(0, equals)), std::string(item.substr(equals + 1)));
  }
  return pairs;
}

// The next line of `text` without its end, which is taken off `text`.
std::string_view TakeLine(std::string_view& text) {
  const auto end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

server::HttpRequest ParseRequest(std::string_view text) {
  server::HttpRequest request;
  const std::string_view first = TakeLine(text);
  const auto space = first.find(' ');
  request.method = std::string(first.substr(0, space));
  const std::string_view target = space == std::string_view::npos ? std::string_view() : first.substr(space + 1);
  const auto question = target.find('?');
  request.path = std::string(target.substr(0, question));
  if (question != std::string_view::npos) request.query = ParseQuery(target.substr(question + 1));
  while (!text.empty()) {
    const std::string_view line = TakeLine(text);
    if (line.empty()) break;
    const auto colon = line.find(':');
    std::string_view value = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
    while (value.starts_with(' ')) value.remove_prefix(1);
    request.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
  }
  request.body = std::string(text.substr(0, server::kMaxBodyBytes));
  return request;
}

bool CarriesToken(const server::HttpRequest& request) {
  if (const auto query = request.Query("token")) return *query == kToken;
  const auto header = request.Header("Authorization");
  if (!header || header->size() <= 7) return false;
  std::string scheme(header->substr(0, 7));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme == "bearer " && header->substr(7) == kToken;
}

bool IsControlPath(std::string_view path) {
  return path.starts_with("/api/click/") || path.starts_with("/api/down/") || path.starts_with("/api/up/");
}

bool IsScanActionPath(std::string_view path) {
  return path == "/api/scan/page" || path == "/api/scan/undo" || path == "/api/scan/finish";
}

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// The site the fuzzed requests are sent to.
server::SiteIdentity FuzzSite() {
  return {.boundHost = "0.0.0.0", .port = 8400, .tls = false, .extraHosts = {"camera.local"}};
}

// Written out plainly: a Host that is a name (not an address literal) must
// be one of the names the server was given, or it is a rebound one.
bool IsForeignName(std::string_view host) {
  if (host.starts_with('[')) return false;
  std::string lower(host.substr(0, host.find(':')));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool letters = std::any_of(lower.begin(), lower.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  return letters && lower != "localhost" && lower != "camera.local";
}

bool ActsFromOurPage(const server::HttpRequest& request) {
  const auto action = request.Header("X-Tavrocam");
  const auto site = request.Header("Sec-Fetch-Site");
  const auto origin = request.Header("Origin");
  return action && *action == "1" && (!site || *site == "same-origin" || *site == "none") &&
         (!origin ||
          (origin->starts_with("http://") && server::HostAllowed(origin->substr(7), FuzzSite(), "192.168.1.5")));
}

bool HasHeader(const server::HttpResponse& response, std::string_view name) {
  for (const auto& [key, value] : response.headers)
    if (key == name && !value.empty()) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t flags = input.Byte();
  const auto rest = input.Remaining();
  server::HttpRequest request = ParseRequest(std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()));
  request.bodyTooLarge = input.Flag(flags, 1);
  request.client = 1;
  request.clientAddress = "192.0.2.7";
  request.localAddress = "192.168.1.5";
  request.controlByteInTarget = input.Flag(flags, 7);
  // Wrong tokens from earlier inputs must not lock this one out: a fresh limiter.
  server::CTokenGuessLimiter limiter;
  server::RouterConfig config;
  config.site = FuzzSite();
  config.guessLimiter = &limiter;
  if (input.Flag(flags, 0)) config.token = std::string(kToken);

  FixedBackend backend(flags, input);
  const server::HttpResponse response = server::RouteRequest(request, backend, config);

  Require(response.status >= 200 && response.status <= 599);
  const std::string_view host = request.Header("Host").value_or("");
  if (IsForeignName(host)) Require(response.status == 421);
  if (!server::HostAllowed(host, config.site, request.localAddress)) {
    Require(response.status == 421 && !response.stream && response.file.empty() && backend.controlCalls == 0 &&
            backend.scanCalls == 0);
    return 0;
  }
  const bool targetClean = !request.controlByteInTarget && !HasControlByte(request.path) &&
                           std::none_of(request.query.begin(), request.query.end(), [](const auto& item) {
                             return HasControlByte(item.first) || HasControlByte(item.second);
                           });
  if (!targetClean) {
    Require(response.status == 400 && backend.controlCalls == 0 && backend.scanCalls == 0);
    return 0;
  }
  const bool admitted = config.token.empty() || CarriesToken(request);
  if (!admitted) {
    Require((response.status == 401 && HasHeader(response, "WWW-Authenticate")) || response.status == 429);
    Require(backend.controlCalls == 0 && backend.scanCalls == 0 && response.file.empty());
  }
  if (response.contentType == "application/json") {
    Require(response.body.size() >= 2 && response.body.front() == '{' && response.body.back() == '}');
    // Text from the request or the handler is escaped: no raw control byte.
    for (const char c : response.body) Require(static_cast<unsigned char>(c) >= 0x20);
  }
  if (backend.controlCalls != 0) {
    Require(backend.controlCalls == 1 && admitted && request.method == "POST" && IsControlPath(request.path));
    Require(ActsFromOurPage(request));
    Require(backend.lastId >= 0 && !request.bodyTooLarge);
  }
  if (backend.scanCalls != 0) {
    Require(backend.scanCalls == 1 && admitted && request.method == "POST" && IsScanActionPath(request.path));
    Require(ActsFromOurPage(request) && !request.bodyTooLarge && backend.controlCalls == 0);
  }
  // Only the latest document is served from a file, and only to GET and HEAD.
  if (!response.file.empty())
    Require((request.method == "GET" || request.method == "HEAD") && request.path == "/scan/latest.pdf" &&
            response.status == 200 && response.contentType == "application/pdf" && !response.stream &&
            HasHeader(response, "Content-Disposition"));
  for (const auto& [name, value] : response.headers)
    for (const char c : value) Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
  if (response.stream)
    Require(request.method == "GET" && (request.path == "/stream.mjpg" || request.path == "/stream.mp4") &&
            response.mp4 == (request.path == "/stream.mp4"));
  else
    Require(!response.mp4);
  if (response.status == 405) Require(HasHeader(response, "Allow"));
  if (response.status == 413) Require(request.bodyTooLarge);
  return 0;
}
