// Real HTTP clients for the server's tests: libcurl for whole requests and
// streams, plain sockets for clients that misbehave (never read, vanish).
// Every call is bounded in time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct HttpReply {
  long status = 0;  // 0: no answer
  std::string contentType;
  std::string headers;
  std::string body;
};

// POSTs carry the page's "X-Tavrocam: 1" unless `headers` holds "X-Tavrocam:".
HttpReply Fetch(const std::string& method, const std::string& url, const std::string& body = {},
                const std::vector<std::string>& headers = {});

// HTTPS clients trust this certificate (PEM file) from now on; empty: the system's.
void SetTrustedCertificate(const std::string& pemPath);

struct StreamResult {
  long status = 0;
  std::string contentType;
  int parts = 0;               // complete JPEG parts received
  bool jpegPartsValid = true;  // every part started with a JPEG marker and had its declared length
  std::vector<std::chrono::steady_clock::time_point> partEnds;  // when each part's last byte arrived
  std::string lastPart;                                         // the last complete part's JPEG bytes
};

// Reads the multipart stream until `parts` parts came or `limit` passed.
StreamResult ReadStream(const std::string& url, int parts, std::chrono::milliseconds limit);

// A TCP connection to 127.0.0.1:port with a request already sent.
class RawClient {
 public:
  RawClient(std::uint16_t port, const std::string& request);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connected() const { return m_fd >= 0; }
  // More of the request; false when the peer is gone.
  bool Send(const std::string& more);
  // True when the peer closed (or reset) the connection, without waiting.
  bool PeerClosed();
  // Everything received until `marker` appears, the peer closes, or `limit` passes.
  std::string ReadUntil(const std::string& marker, std::chrono::milliseconds limit);
  // True when the peer closed (or reset) the connection within `limit`,
  // reading and discarding whatever arrives meanwhile.
  bool WaitClosed(std::chrono::milliseconds limit);
  void Close();

 private:
  int m_fd = -1;
};

std::string HttpGetRequest(const std::string& path);
std::string HttpPostRequest(const std::string& path, bool keepAlive = true);
