// Who may talk to the server and act through it, without sockets: the Host
// a request was sent to, where a button press comes from, targets with
// control bytes, and the token rules (weak tokens, files, repeated guesses).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "server/access_token.h"
#include "server/request_router.h"
#include "server/token_file.h"
#include "server/token_guess_limiter.h"

namespace server {
namespace {

using namespace std::chrono_literals;

class CountingBackend final : public IRouterBackend {
 public:
  std::optional<std::string> StateJson() override { return std::string("{}"); }
  std::string LayoutJson() override { return "{}"; }
  ControlOutcome RunControlEvent(ControlEvent, int, std::uintptr_t) override {
    ++controls;
    return {};
  }
  std::optional<std::string> SnapshotJpeg() override { return std::string("\xFF\xD8"); }
  std::optional<std::string> SnapshotBmp() override { return std::string("BM"); }
  std::optional<Asset> FindAsset(std::string_view path) override {
    if (path == "/") return Asset{"text/html", "<html>"};
    return std::nullopt;
  }
  int controls = 0;
};

HttpRequest Request(std::string method, std::string path, std::vector<std::pair<std::string, std::string>> headers) {
  HttpRequest request;
  request.method = std::move(method);
  request.path = std::move(path);
  request.headers = std::move(headers);
  request.clientAddress = "192.0.2.7";
  request.localAddress = "192.168.1.5";
  return request;
}

SiteIdentity Room() { return {.boundHost = "0.0.0.0", .port = 8400, .tls = false, .extraHosts = {"camera.local"}}; }

TEST(HostCheckTest, OnlyOurOwnNamesAndAddressesWithOurPort) {
  const SiteIdentity site = Room();
  for (const char* host :
       {"127.0.0.1:8400", "localhost:8400", "LOCALHOST", "[::1]:8400", "127.3.4.5:8400", "192.168.1.5:8400",
        "[::ffff:192.168.1.5]:8400", "camera.local:8400", "Camera.Local", "0.0.0.0:8400"})
    EXPECT_TRUE(HostAllowed(host, site, "192.168.1.5")) << host;
  for (const char* host : {"evil.example:8400", "evil.example", "127.0.0.1:8401", "localhost:80", "192.168.1.6:8400",
                           "camera.local.evil.example:8400", "localhost.:8400", "", ":8400", "[::1", "[::1]x",
                           "127.0.0.1:8400:1", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:99999", "user@127.0.0.1",
                           "127.0.0.1 :8400", "[camera.local]:8400", "camera.local/x"})
    EXPECT_FALSE(HostAllowed(host, site, "192.168.1.5")) << host;
  // Bound to one address: that one is ours, another of the machine's is not named by it.
  const SiteIdentity one{.boundHost = "192.168.1.5", .port = 8400, .tls = false, .extraHosts = {}};
  EXPECT_TRUE(HostAllowed("192.168.1.5:8400", one, ""));
  EXPECT_FALSE(HostAllowed("camera.local:8400", one, "192.168.1.5"));
}

TEST(HostCheckTest, EveryEndpointRefusesAReboundNameBeforeAnythingElse) {
  CountingBackend backend;
  RouterConfig config{.token = "Tr0ub4dor-and-3-more", .site = Room(), .guessLimiter = nullptr};
  for (const char* path : {"/", "/stream.mjpg", "/stream.mp4", "/snapshot.jpg", "/snapshot.bmp", "/api/state",
                           "/api/layout", "/api/click/1047", "/nowhere"}) {
    const std::string method = std::string(path).starts_with("/api/click") ? "POST" : "GET";
    HttpRequest rebound = Request(method, path, {{"Host", "evil.example:8400"}, {"X-Tavrocam", "1"}});
    rebound.query = {{"token", "Tr0ub4dor-and-3-more"}};
    const HttpResponse refused = RouteRequest(rebound, backend, config);
    EXPECT_EQ(refused.status, 421) << path;
    EXPECT_EQ(refused.contentType, "application/json") << path;
    EXPECT_FALSE(refused.stream) << path;
    HttpRequest missing = rebound;
    missing.headers.erase(missing.headers.begin());
    EXPECT_EQ(RouteRequest(missing, backend, config).status, 421) << path;
    HttpRequest named = rebound;
    named.headers[0].second = "camera.local:8400";
    EXPECT_NE(RouteRequest(named, backend, config).status, 421) << path;
  }
  EXPECT_EQ(backend.controls, 1);  // the one named click
}

TEST(ActionCheckTest, OnlyThePageItselfMayPressButtons) {
  CountingBackend backend;
  const RouterConfig config{.token = {}, .site = Room(), .guessLimiter = nullptr};
  const auto press = [&](std::vector<std::pair<std::string, std::string>> extra) {
    std::vector<std::pair<std::string, std::string>> headers{{"Host", "192.168.1.5:8400"}};
    headers.insert(headers.end(), extra.begin(), extra.end());
    return RouteRequest(Request("POST", "/api/click/1047", headers), backend, config);
  };
  // What a browser sends for a page on another origin, with no-cors, a form or a plain fetch.
  for (const auto& hostile : std::vector<std::vector<std::pair<std::string, std::string>>>{
           {},
           {{"Origin", "http://evil.example"}, {"Sec-Fetch-Site", "cross-site"}},
           {{"Origin", "http://127.0.0.1:9000"}, {"Sec-Fetch-Site", "same-site"}, {"X-Tavrocam", "1"}},
           {{"Origin", "null"}, {"X-Tavrocam", "1"}},
           {{"Origin", "https://192.168.1.5:8400"}, {"X-Tavrocam", "1"}},
           {{"Sec-Fetch-Site", "cross-site"}, {"X-Tavrocam", "1"}},
           {{"Origin", "http://192.168.1.5:8400"}, {"Sec-Fetch-Site", "same-origin"}},
           {{"Origin", "http://192.168.1.5:8400"}, {"X-Tavrocam", "yes"}},
       }) {
    const HttpResponse refused = press(hostile);
    EXPECT_EQ(refused.status, 403) << (hostile.empty() ? "bare" : hostile.front().second);
    EXPECT_EQ(refused.contentType, "application/json");
  }
  EXPECT_EQ(backend.controls, 0);
  // Our page (in a browser, and curl, which sends neither Origin nor Sec-Fetch-Site).
  EXPECT_EQ(
      press({{"Origin", "http://192.168.1.5:8400"}, {"Sec-Fetch-Site", "same-origin"}, {"x-tavrocam", "1"}}).status,
      200);
  EXPECT_EQ(press({{"Origin", "http://camera.local:8400"}, {"X-Tavrocam", "1"}}).status, 200);
  EXPECT_EQ(press({{"Sec-Fetch-Site", "none"}, {"X-Tavrocam", "1"}}).status, 200);
  EXPECT_EQ(press({{"X-Tavrocam", "1"}}).status, 200);
  EXPECT_EQ(backend.controls, 4);
  // Reading stays open to links and images of any page; only acting is guarded.
  EXPECT_EQ(RouteRequest(Request("GET", "/api/state", {{"Host", "camera.local"}, {"Sec-Fetch-Site", "cross-site"}}),
                         backend, config)
                .status,
            200);
}

TEST(TargetCheckTest, ControlBytesAndBadLengthsAre400BeforeAnyHandler) {
  CountingBackend backend;
  const RouterConfig config{.token = {}, .site = Room(), .guessLimiter = nullptr};
  const std::vector<std::pair<std::string, std::string>> page{{"Host", "127.0.0.1:8400"}, {"X-Tavrocam", "1"}};
  HttpRequest nul = Request("POST", std::string("/api/click/1000\0junk", 20), page);
  HttpRequest cut = Request("POST", "/api/click/1000", page);
  cut.controlByteInTarget = true;  // "%00junk" that the decoder cut off
  HttpRequest query = Request("GET", "/api/state", page);
  query.query = {{"token", std::string("a\x01", 2)}};
  HttpRequest length = Request("POST", "/api/click/1000", page);
  length.bodyLengthMalformed = true;
  for (const HttpRequest* request : {&nul, &cut, &query, &length}) {
    const HttpResponse refused = RouteRequest(*request, backend, config);
    EXPECT_EQ(refused.status, 400) << request->path;
    EXPECT_EQ(refused.contentType, "application/json");
  }
  EXPECT_EQ(backend.controls, 0);
}

TEST(TokenRulesTest, WeakTokensAreRefusedAndGeneratedOnesAreStrong) {
  for (const char* weak : {"", "short-token", "aaaaaaaaaaaaaaaa", "abababababababababababab", "1234567123456712345"})
    EXPECT_NE(TokenWeakness(weak), "") << weak;
  for (const char* strong : {"abcdefgh12345678", "correct-horse-battery"})
    EXPECT_EQ(TokenWeakness(strong), "") << strong;
  for (int i = 0; i < 20; ++i) EXPECT_EQ(TokenWeakness(GenerateToken()), "");
}

TEST(TokenRulesTest, TheTokenFileMustBeTheOwnersAlone) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tavrocam-token-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "token").string();
  std::ofstream(path) << "  correct-horse-battery \n second line\n";
  ::chmod(path.c_str(), 0644);
  TokenFileResult read = ReadTokenFile(path);
  EXPECT_NE(read.error.find("chmod 600"), std::string::npos) << read.error;
  EXPECT_EQ(read.token, "");
  ::chmod(path.c_str(), 0600);
  read = ReadTokenFile(path);
  EXPECT_EQ(read.error, "");
  EXPECT_EQ(read.token, "correct-horse-battery");
  EXPECT_NE(ReadTokenFile(dir.string()).error, "");
  EXPECT_NE(ReadTokenFile((dir / "missing").string()).error, "");
  std::ofstream(path, std::ios::trunc) << "\n";
  EXPECT_NE(ReadTokenFile(path).error.find("empty"), std::string::npos);
  std::filesystem::remove_all(dir);
}

TEST(TokenRulesTest, RepeatedWrongTokensLockOutTheirAddressForTheRestOfTheMinute) {
  auto now = std::chrono::steady_clock::time_point{} + 1h;
  CTokenGuessLimiter limiter(1min, 10, [&] { return now; });
  CountingBackend backend;
  const RouterConfig config{.token = "correct-horse-battery", .site = Room(), .guessLimiter = &limiter};
  const auto ask = [&](const char* address, const char* token) {
    HttpRequest request = Request("GET", "/api/state", {{"Host", "camera.local"}});
    request.clientAddress = address;
    request.query = {{"token", token}};
    return RouteRequest(request, backend, config);
  };
  // Right tokens are never counted.
  for (int i = 0; i < 30; ++i) ASSERT_EQ(ask("192.0.2.7", "correct-horse-battery").status, 200);
  for (int i = 0; i < 10; ++i) {
    now += 1s;
    ASSERT_EQ(ask("192.0.2.7", "guess").status, 401) << i;
  }
  const HttpResponse locked = ask("192.0.2.7", "guess");
  EXPECT_EQ(locked.status, 429);
  EXPECT_EQ(locked.contentType, "application/json");
  bool retryAfter = false;
  for (const auto& [name, value] : locked.headers)
    if (name == "Retry-After") retryAfter = value == "51";  // the first guess was 9 s ago
  EXPECT_TRUE(retryAfter);
  // A locked address learns nothing, not even from the right token.
  EXPECT_EQ(ask("192.0.2.7", "correct-horse-battery").status, 429);
  // Another address is unaffected.
  EXPECT_EQ(ask("192.0.2.8", "correct-horse-battery").status, 200);
  EXPECT_EQ(ask("192.0.2.8", "guess").status, 401);
  now += 50s;
  EXPECT_EQ(ask("192.0.2.7", "correct-horse-battery").status, 429);
  now += 1s;  // the minute since the first guess is over
  EXPECT_EQ(ask("192.0.2.7", "correct-horse-battery").status, 200);
  EXPECT_EQ(ask("192.0.2.7", "guess").status, 401);
}

}  // namespace
}  // namespace server
