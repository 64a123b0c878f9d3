// The HTTP listener, on libmicrohttpd: it parses requests, bounds
// connections, memory and idle time per connection, and streams the MJPEG
// responses through a callback; everything a request means is decided by
// RouteRequest.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "server/frame_hub.h"
#include "server/request_router.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace server {

struct PendingRequest;

struct HttpServerLimits {
  unsigned maxStreams = 32;
  // Room for every stream viewer plus page, state and button requests.
  unsigned maxConnections = 64;
  // So that one other computer cannot take every connection.
  unsigned maxConnectionsPerAddress = 48;
  // A connection that sends or takes nothing for this long is closed.
  unsigned idleTimeoutSeconds = 15;
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
  std::string Start(const std::string& host, std::uint16_t port);
  // Closes every connection and the listener; waits for the connection threads.
  void Stop();
  std::uint16_t Port() const { return m_port; }
  unsigned StreamCount() const { return m_streams.load(); }

  // Called on a connection's thread when that connection closes.
  std::function<void(std::uintptr_t client)> onClientClosed;

 private:
  struct Callbacks;
  // Routes a complete request and queues its answer; false when
  // libmicrohttpd could not take it (the connection is then closed).
  bool Answer(MHD_Connection* connection, PendingRequest& pending);

  IRouterBackend& m_backend;
  const RouterConfig m_config;
  CFrameHub& m_hub;
  const HttpServerLimits m_limits;
  MHD_Daemon* m_daemon = nullptr;
  std::uint16_t m_port = 0;
  std::atomic<unsigned> m_streams{0};
};

}  // namespace server
