// The running server against what a hostile page, a rebound name, a slow
// client or a guesser on the same machine would try, and over HTTPS.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string_view>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "child_process.h"
#include "http_client.h"
#include "server_fixture.h"

namespace {

using namespace std::chrono_literals;

bool IsJsonError(const HttpReply& reply) {
  return reply.contentType == "application/json" &&
         QJsonDocument::fromJson(QByteArray::fromStdString(reply.body)).object().contains("error");
}

bool HasHeader(const std::string& headers, const std::string& line) {
  QString all = QString::fromStdString(headers).toLower();
  return all.contains(QString::fromStdString(line).toLower() + "\r\n");
}

bool LoopbackIpv6Available() {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

TEST_F(ServerTest, AReboundNameIsRefusedEverywhereAndOurNamesAreServed) {
  server::CameraServerOptions options;
  options.extraHosts = {"camera.local"};
  Start(options);
  m_sim->Camera(0).ClearRecords();
  const std::string evil = "Host: evil.example:" + std::to_string(Port());
  for (const char* path : {"/", "/snapshot.jpg", "/snapshot.bmp", "/api/state", "/api/layout", "/img/panel.png"}) {
    const HttpReply refused = Client([&] { return Fetch("GET", Url(path), {}, {evil}); });
    EXPECT_EQ(refused.status, 421) << path;
    EXPECT_TRUE(IsJsonError(refused)) << path << " " << refused.body;
  }
  EXPECT_EQ(Client([&] { return Fetch("POST", Url("/api/click/1047"), {}, {evil}); }).status, 421);
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/"), {}, {"Host: 127.0.0.1:1"}); }).status, 421);
  RawClient stream(Port(), "GET /stream.mjpg HTTP/1.1\r\n" + evil + "\r\n\r\n");
  EXPECT_EQ(Client([&] { return stream.ReadUntil("\r\n", 10s); }).rfind("HTTP/1.1 421", 0), 0u);
  EXPECT_TRUE(m_sim->Camera(0).ReceivedCommands().empty());

  for (const std::string& host : {"camera.local:" + std::to_string(Port()), "localhost:" + std::to_string(Port()),
                                  "127.0.0.1:" + std::to_string(Port()), std::string("CAMERA.local")})
    EXPECT_EQ(Client([&] { return Fetch("GET", Url("/api/state"), {}, {"Host: " + host}); }).status, 200) << host;
  EXPECT_EQ(Client([&] {
              return Fetch("POST", Url("/api/click/1047"), {}, {"Host: camera.local:" + std::to_string(Port())});
            }).status,
            200);
  EXPECT_EQ(Commands(0x26).size(), 1u);
}

TEST_F(ServerTest, OnlyThePageItselfPressesButtons) {
  Start();
  m_sim->Camera(0).ClearRecords();
  const std::string other = "Origin: http://127.0.0.1:" + std::to_string(Port() == 9 ? 10 : 9);
  // A no-cors fetch or a form from another page: no action header, its own origin.
  for (const std::vector<std::string>& hostile : std::vector<std::vector<std::string>>{
           {"X-Tavrocam:"},
           {"X-Tavrocam:", other, "Sec-Fetch-Site: same-site", "Content-Type: text/plain"},
           {other},
           {"Sec-Fetch-Site: cross-site"},
           {"Origin: null"},
       }) {
    for (const char* path : {"/api/click/1047", "/api/down/1050", "/api/click/1000"}) {
      const HttpReply refused = Client([&] { return Fetch("POST", Url(path), {}, hostile); });
      EXPECT_EQ(refused.status, 403) << path << " " << hostile.front();
      EXPECT_TRUE(IsJsonError(refused)) << refused.body;
    }
  }
  EXPECT_TRUE(m_sim->Camera(0).ReceivedCommands().empty());
  EXPECT_EQ(m_frame->Remocon().State().freeze, 0);
  const std::string own = "Origin: http://127.0.0.1:" + std::to_string(Port());
  EXPECT_EQ(Client([&] {
              return Fetch("POST", Url("/api/click/1047"), {}, {own, "Sec-Fetch-Site: same-origin"});
            }).status,
            200);
  EXPECT_EQ(Commands(0x26).size(), 1u);
}

TEST_F(ServerTest, EveryAnswerForbidsFramingSniffingAndReferrers) {
  Start();
  for (const char* path : {"/", "/api/state", "/snapshot.jpg", "/nowhere"}) {
    const HttpReply reply = Client([&] { return Fetch("GET", Url(path)); });
    for (const char* line :
         {"X-Content-Type-Options: nosniff", "Referrer-Policy: no-referrer", "X-Frame-Options: DENY"})
      EXPECT_TRUE(HasHeader(reply.headers, line)) << path << " " << line;
    const auto policy = reply.headers.find("Content-Security-Policy: ");
    ASSERT_NE(policy, std::string::npos) << path;
    const std::string value = reply.headers.substr(policy, reply.headers.find("\r\n", policy) - policy);
    EXPECT_NE(value.find("frame-ancestors 'none'"), std::string::npos);
    EXPECT_NE(value.find("default-src 'self'"), std::string::npos);
  }
  for (const char* path : {"/api/state", "/snapshot.jpg", "/snapshot.bmp"})
    EXPECT_TRUE(HasHeader(Client([&] { return Fetch("GET", Url(path)); }).headers, "Cache-Control: no-store")) << path;
  RawClient stream(Port(), HttpGetRequest("/stream.mjpg"));
  const std::string head = Client([&] { return stream.ReadUntil("\r\n\r\n", 10s); });
  EXPECT_TRUE(HasHeader(head, "X-Frame-Options: DENY")) << head;
  EXPECT_TRUE(HasHeader(head, "Cache-Control: no-store")) << head;
}

TEST_F(ServerTest, ControlBytesGetAJson400AndBadLengthsA400) {
  Start();
  m_sim->Camera(0).ClearRecords();
  for (const char* path : {"/api/click/1000%00junk", "/api/click/1000%0a", "/api/state?x=%00", "/%01"}) {
    const HttpReply refused =
        Client([&] { return Fetch(std::string_view(path).starts_with("/api/click") ? "POST" : "GET", Url(path)); });
    EXPECT_EQ(refused.status, 400) << path;
    EXPECT_TRUE(IsJsonError(refused)) << path << " " << refused.body;
  }
  EXPECT_EQ(m_frame->Remocon().State().freeze, 0);
  for (const char* length : {"-1", "1x", "+5", ""}) {
    RawClient client(Port(), std::string("POST /api/click/1047 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Tavrocam: 1\r\n") +
                                 "Content-Length: " + length + "\r\nConnection: close\r\n\r\n");
    // libmicrohttpd answers these itself, before any of our code sees the
    // request (and 0.9.75 sends its header block twice): a 400 and the end.
    const std::string answer = Client([&] { return client.ReadUntil("</html>", 10s); });
    EXPECT_EQ(answer.rfind("HTTP/1.1 400", 0), 0u) << length << ": " << answer;
    EXPECT_TRUE(Client([&] { return client.WaitClosed(10s); })) << length;
  }
  EXPECT_TRUE(m_sim->Camera(0).ReceivedCommands().empty());
}

TEST_F(ServerTest, SlowClientsAreLetGoAndCannotCrowdOutThePage) {
  server::CameraServerOptions options;
  options.limits.requestDeadline = 2s;
  Start(options);
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i < 100; ++i) {
    slow.push_back(std::make_unique<RawClient>(Port(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "));
    ASSERT_TRUE(slow.back()->Connected()) << i;
  }
  // All from 127.0.0.1, like the page: it still gets its answers.
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/")); }).status, 200);
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/api/state")); }).status, 200);
  EXPECT_EQ(Client([&] { return Fetch("POST", Url("/api/click/1047")); }).status, 200);
  // Each slow one keeps sending a byte at a time, well within the 15 s idle
  // limit, and is closed all the same once the deadline for its request passed.
  bool allClosed = false;
  for (int round = 0; round < 60 && !allClosed; ++round) {
    allClosed = true;
    for (auto& client : slow)
      if (!client->PeerClosed()) {
        allClosed = false;
        client->Send("a");
      }
    QTest::qWait(200);
  }
  EXPECT_TRUE(allClosed);
  EXPECT_GE(m_server->SlowClientsLetGo(), 100u);
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/api/state")); }).status, 200);
}

TEST_F(ServerTest, WrongTokensFromOneAddressAreAnswered429UntilTheWindowEnds) {
  server::CameraServerOptions options;
  options.token = "correct-horse-battery";
  options.tokenGuessWindow = 1500ms;
  Start(options);
  for (int i = 0; i < 10; ++i)
    ASSERT_EQ(Client([&] { return Fetch("GET", Url("/api/state?token=guess")); }).status, 401);
  const HttpReply locked = Client([&] { return Fetch("GET", Url("/api/state?token=guess")); });
  EXPECT_EQ(locked.status, 429);
  EXPECT_TRUE(IsJsonError(locked));
  EXPECT_NE(locked.headers.find("Retry-After: "), std::string::npos);
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/api/state?token=correct-horse-battery")); }).status, 429);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Client([&] { return Fetch("GET", Url("/api/state?token=correct-horse-battery")); }).status == 200; },
      15000));
}

TEST_F(ServerTest, TheAnyAddressServesIpv4AndIpv6) {
  server::CameraServerOptions options;
  options.address.host = "::";
  options.token = "correct-horse-battery";
  Start(options);
  const std::string query = "/api/state?token=correct-horse-battery";
  EXPECT_EQ(Client([&] { return Fetch("GET", Url(query)); }).status, 200);
  if (LoopbackIpv6Available()) {
    const std::string v6 = "http://[::1]:" + std::to_string(Port()) + query;
    EXPECT_EQ(Client([&] { return Fetch("GET", v6); }).status, 200);
  }
}

TEST_F(ServerTest, AnIpv4AddressWrittenTheIpv6WayIsServedAsIpv4) {
  server::CameraServerOptions options;
  options.address.host = "::ffff:127.0.0.1";
  Start(options);
  EXPECT_EQ(m_server->Token(), "");  // still the loopback
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/api/state")); }).status, 200);
  const std::string mapped = "Host: [::ffff:127.0.0.1]:" + std::to_string(Port());
  EXPECT_EQ(Client([&] { return Fetch("GET", Url("/api/state"), {}, {mapped}); }).status, 200);
}

TEST_F(ServerTest, HttpsServesEverythingAndRefusesPlainHttp) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string cert = dir.filePath("cert.pem").toStdString();
  const std::string key = dir.filePath("key.pem").toStdString();
  ASSERT_TRUE(RunToEnd("openssl",
                       {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-addext",
                        "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert, "-days", "1"},
                       60s));
  server::CameraServerOptions options;
  const auto read = [](const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
  };
  options.tls = {read(cert), read(key)};
  Start(options);
  EXPECT_EQ(m_server->Url().rfind("https://127.0.0.1:", 0), 0u);
  SetTrustedCertificate(cert);
  const std::string base = "https://127.0.0.1:" + std::to_string(Port());
  m_sim->Camera(0).ClearRecords();
  const HttpReply page = Client([&] { return Fetch("GET", base + "/"); });
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("/stream.mjpg"), std::string::npos);
  EXPECT_EQ(Client([&] { return Fetch("GET", base + "/snapshot.jpg"); }).contentType, "image/jpeg");
  const StreamResult stream = Client([&] { return ReadStream(base + "/stream.mjpg", 2, 20s); });
  EXPECT_EQ(stream.parts, 2);
  EXPECT_TRUE(stream.jpegPartsValid);
  EXPECT_EQ(Client([&] { return Fetch("POST", base + "/api/click/1047"); }).status, 200);
  EXPECT_EQ(Commands(0x26).size(), 1u);
  SetTrustedCertificate({});
  // Plain HTTP to the TLS port gets no answer, and certainly not the picture.
  EXPECT_NE(Client([&] { return Fetch("GET", Url("/snapshot.jpg")); }).status, 200);
  // Nor does a client that does not trust the certificate.
  EXPECT_EQ(Client([&] { return Fetch("GET", base + "/"); }).status, 0);
}

}  // namespace
