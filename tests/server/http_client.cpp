#include "http_client.h"

#include <curl/curl.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "loopback_socket.h"

namespace {

size_t AppendTo(char* data, size_t size, size_t count, void* into) {
  static_cast<std::string*>(into)->append(data, size * count);
  return size * count;
}

// Splits the multipart stream into parts as its bytes arrive.
struct PartCounter {
  std::string pending;
  int wanted = 0;
  StreamResult* result = nullptr;

  // False once enough parts came: the transfer is then ended.
  bool Feed(const char* data, size_t size) {
    pending.append(data, size);
    for (;;) {
      const auto head = pending.find("\r\n\r\n");
      if (head == std::string::npos) return true;
      const auto lengthAt = pending.find("Content-Length: ");
      if (lengthAt == std::string::npos || lengthAt > head) {
        result->jpegPartsValid = false;
        return false;
      }
      const std::size_t length = std::stoul(pending.substr(lengthAt + 16, head - lengthAt - 16));
      const std::size_t end = head + 4 + length + 2;
      if (pending.size() < end) return true;
      const std::string_view jpeg(pending.data() + head + 4, length);
      if (length < 4 || static_cast<unsigned char>(jpeg[0]) != 0xFF || static_cast<unsigned char>(jpeg[1]) != 0xD8 ||
          pending.compare(end - 2, 2, "\r\n") != 0)
        result->jpegPartsValid = false;
      result->partEnds.push_back(std::chrono::steady_clock::now());
      result->lastPart = std::string(jpeg);
      ++result->parts;
      pending.erase(0, end);
      if (result->parts >= wanted) return false;
    }
  }
};

size_t FeedParts(char* data, size_t size, size_t count, void* counter) {
  return static_cast<PartCounter*>(counter)->Feed(data, size * count) ? size * count : 0;
}

std::string ContentType(CURL* curl) {
  char* type = nullptr;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
  return type ? type : "";
}

// libcurl's global state, set up once before the first handle (clients may
// start on several threads at once) and torn down when the program ends.
CURL* NewHandle() {
  struct Global {
    Global() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~Global() { curl_global_cleanup(); }
  };
  static const Global global;
  return curl_easy_init();
}

std::mutex g_trustMutex;
std::string g_trustedCertificate;

void TrustCertificate(CURL* curl) {
  const std::lock_guard lock(g_trustMutex);
  if (!g_trustedCertificate.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, g_trustedCertificate.c_str());
}

}  // namespace

void SetTrustedCertificate(const std::string& pemPath) {
  const std::lock_guard lock(g_trustMutex);
  g_trustedCertificate = pemPath;
}

HttpReply Fetch(const std::string& method, const std::string& url, const std::string& body,
                const std::vector<std::string>& headers) {
  HttpReply reply;
  CURL* curl = NewHandle();
  if (!curl) return reply;
  curl_slist* list = nullptr;
  // What the page sends with every button; "X-Tavrocam:" among `headers` leaves it out.
  const bool ownActionHeader = std::any_of(headers.begin(), headers.end(), [](const std::string& h) {
    return strncasecmp(h.c_str(), "X-Tavrocam:", 11) == 0;
  });
  if (method == "POST" && !ownActionHeader) list = curl_slist_append(list, "X-Tavrocam: 1");
  for (const auto& h : headers) list = curl_slist_append(list, h.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
  if (method == "HEAD") curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  if (method == "POST") {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendTo);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, AppendTo);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 15000L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  TrustCertificate(curl);
  if (curl_easy_perform(curl) == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.contentType = ContentType(curl);
  }
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  return reply;
}

StreamResult ReadStream(const std::string& url, int parts, std::chrono::milliseconds limit) {
  StreamResult result;
  PartCounter counter;
  counter.wanted = parts;
  counter.result = &result;
  CURL* curl = NewHandle();
  if (!curl) return result;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, FeedParts);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &counter);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limit.count()));
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  TrustCertificate(curl);
  curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
  result.contentType = ContentType(curl);
  curl_easy_cleanup(curl);
  return result;
}

RawClient::RawClient(std::uint16_t port, const std::string& request) : m_fd(ConnectLoopback(port, true)) {
  if (m_fd >= 0 && send(m_fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
    Close();
}

RawClient::~RawClient() { Close(); }

bool RawClient::Send(const std::string& more) {
  return m_fd >= 0 && send(m_fd, more.data(), more.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(more.size());
}

bool RawClient::PeerClosed() {
  if (m_fd < 0) return true;
  pollfd p{m_fd, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  char buffer[4096];
  return recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT) <= 0;
}

void RawClient::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

std::string RawClient::ReadUntil(const std::string& marker, std::chrono::milliseconds limit) {
  std::string received;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (m_fd >= 0 && received.find(marker) == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    received.append(buffer, static_cast<std::size_t>(n));
  }
  return received;
}

bool RawClient::WaitClosed(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (m_fd >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[65536];
    const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
  }
  return true;
}

std::string HttpGetRequest(const std::string& path) { return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

std::string HttpPostRequest(const std::string& path, bool keepAlive) {
  return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Tavrocam: 1\r\nContent-Length: 0\r\n" +
         (keepAlive ? "" : "Connection: close\r\n") + "\r\n";
}
