// The HTTP listener, on libmicrohttpd: it parses requests, bounds
// connections, memory and idle time per connection, and streams the MJPEG
// responses through a callback; everything a request means is decided by
// RouteRequest.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "broadcast/live_h264_feed.h"
#include "server/connection_watch.h"
#include "server/frame_hub.h"
#include "server/request_router.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace server {

struct ConnectionState;

// A certificate chain and its private key, both PEM; empty: plain HTTP.
struct TlsCredentials {
  std::string certificatePem;
  std::string keyPem;
};

struct HttpServerLimits {
  // MJPEG viewers each cost their own share of the network; H.264 viewers
  // share one encoder and a tenth of the bytes.
  unsigned maxStreams = 32;
  unsigned maxH264Streams = 100;
  // Room for every stream viewer, the connections still sending their
  // request (bounded below) and page, state and button requests.
  unsigned maxConnections = 256;
  // libmicrohttpd's own cap per address; the watch below is what keeps
  // slow clients from one address from crowding out the rest.
  unsigned maxConnectionsPerAddress = 192;
  // A connection that sends or takes nothing for this long is closed.
  unsigned idleTimeoutSeconds = 15;
  // Request line, headers and body within this, in all.
  std::chrono::milliseconds requestDeadline{5000};
  // Connections still sending their request, in all and per address; the
  // one waiting longest makes room for a new one.
  unsigned maxWaiting = 64;
  unsigned maxWaitingPerAddress = 16;
  // Request line and headers must fit in this (the body has its own limit).
  std::size_t memoryPerConnection = 32 * 1024;
};

class CHttpServer {
 public:
  CHttpServer(IRouterBackend& backend, RouterConfig config, CFrameHub& hub, HttpServerLimits limits = {});
  ~CHttpServer();
  CHttpServer(const CHttpServer&) = delete;
  CHttpServer& operator=(const CHttpServer&) = delete;

  // Listens on `host` (an IPv4 or IPv6 address, or "localhost") and `port`
  // (0 picks a free one). Empty on success, else why not.
  std::string Start(const std::string& host, std::uint16_t port, TlsCredentials tls = {});
  // Closes every connection and the listener; waits for the connection threads.
  void Stop();
  std::uint16_t Port() const { return m_port.load(); }
  // The H.264 viewers' pictures; without one /stream.mp4 answers 503.
  void SetLiveFeed(CLiveH264Feed& feed) { m_pFeed = &feed; }
  unsigned StreamCount() const { return m_streams.load(); }
  unsigned H264StreamCount() const { return m_h264Streams.load(); }
  // Connections closed because they took too long to send their request or
  // to make room for others.
  unsigned SlowClientsLetGo() const { return m_pWatch ? m_pWatch->LetGo() : 0; }

  // Called on a connection's thread when that connection closes.
  std::function<void(std::uintptr_t client)> onClientClosed;
  // Called on a connection's thread for a request refused for what it is
  // (its host, origin, token or target), for the log.
  std::function<void(const HttpRequest& request, const HttpResponse& response)> onRefused;

 private:
  struct Callbacks;
  // Routes a complete request and queues its answer; false when
  // libmicrohttpd could not take it (the connection is then closed).
  bool Answer(MHD_Connection* connection, ConnectionState& state);
  bool AnswerStream(MHD_Connection* connection, bool mp4);

  IRouterBackend& m_backend;
  RouterConfig m_config;
  CFrameHub& m_hub;
  const HttpServerLimits m_limits;
  MHD_Daemon* m_daemon = nullptr;
  std::atomic<std::uint16_t> m_port{0};
  std::atomic<unsigned> m_streams{0};
  std::atomic<unsigned> m_h264Streams{0};
  CLiveH264Feed* m_pFeed = nullptr;
  std::unique_ptr<CConnectionWatch> m_pWatch;
  TlsCredentials m_tls;  // libmicrohttpd reads it while it runs
};

}  // namespace server
