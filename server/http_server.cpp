#include "server/http_server.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "server/mjpeg_stream.h"

namespace server {

// What one request collects between libmicrohttpd's calls.
struct PendingRequest {
  HttpRequest request;
  bool routed = false;
};

namespace {

// One stream viewer, owned by libmicrohttpd's response from creation to its
// free callback.
struct StreamViewer {
  StreamViewer(CFrameHub& hub, std::atomic<unsigned>& count) : stream(hub), streams(count) {}
  ~StreamViewer() { streams.fetch_sub(1); }
  CMjpegStream stream;
  std::atomic<unsigned>& streams;
};

MHD_Result CollectValue(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* into = static_cast<std::vector<std::pair<std::string, std::string>>*>(cls);
  into->emplace_back(key ? key : "", value ? value : "");
  return MHD_YES;
}

MHD_Result Queue(MHD_Connection* connection, const HttpResponse& response) {
  MHD_Response* reply = MHD_create_response_from_buffer(response.body.size(), const_cast<char*>(response.body.data()),
                                                        MHD_RESPMEM_MUST_COPY);
  if (!reply) return MHD_NO;
  if (!response.contentType.empty())
    MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, response.contentType.c_str());
  MHD_add_response_header(reply, "X-Content-Type-Options", "nosniff");
  for (const auto& [name, value] : response.headers) MHD_add_response_header(reply, name.c_str(), value.c_str());
  const MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(response.status), reply);
  MHD_destroy_response(reply);
  return result;
}

bool ContentLengthTooLarge(MHD_Connection* connection) {
  const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  if (!length) return false;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(length, &end, 10);
  return end == length || *end != '\0' || value > kMaxBodyBytes;
}

}  // namespace

struct CHttpServer::Callbacks {
  static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                           const char* uploadData, std::size_t* uploadSize, void** requestContext) {
    auto& self = *static_cast<CHttpServer*>(cls);
    auto* pending = static_cast<PendingRequest*>(*requestContext);
    if (!pending) {
      // Owned by libmicrohttpd's request context until Completed.
      pending = std::make_unique<PendingRequest>().release();
      *requestContext = pending;
      pending->request.method = method;
      pending->request.path = url;
      pending->request.client = reinterpret_cast<std::uintptr_t>(connection);
      // A declared body beyond the limit is refused before it is read.
      if (!ContentLengthTooLarge(connection)) return MHD_YES;
      pending->request.bodyTooLarge = true;
      *uploadSize = 0;
      return self.Answer(connection, *pending) ? MHD_YES : MHD_NO;
    }
    if (*uploadSize > 0) {
      std::string& body = pending->request.body;
      const std::size_t room = kMaxBodyBytes - std::min(body.size(), kMaxBodyBytes);
      body.append(uploadData, std::min(room, *uploadSize));
      if (*uploadSize > room) pending->request.bodyTooLarge = true;
      *uploadSize = 0;
      return MHD_YES;
    }
    if (pending->routed) return MHD_YES;
    return self.Answer(connection, *pending) ? MHD_YES : MHD_NO;
  }

  static void Completed(void*, MHD_Connection*, void** requestContext, MHD_RequestTerminationCode) {
    std::unique_ptr<PendingRequest> owned(static_cast<PendingRequest*>(*requestContext));
    *requestContext = nullptr;
  }

  static void ConnectionEvent(void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    auto& self = *static_cast<CHttpServer*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED && self.onClientClosed)
      self.onClientClosed(reinterpret_cast<std::uintptr_t>(connection));
  }

  static ssize_t ReadStream(void* cls, std::uint64_t, char* buffer, std::size_t capacity) {
    const long n = static_cast<StreamViewer*>(cls)->stream.Read(buffer, capacity);
    return n < 0 ? MHD_CONTENT_READER_END_OF_STREAM : n;
  }

  static void FreeStream(void* cls) { std::unique_ptr<StreamViewer> owned(static_cast<StreamViewer*>(cls)); }
};

CHttpServer::CHttpServer(IRouterBackend& backend, RouterConfig config, CFrameHub& hub, HttpServerLimits limits)
    : m_backend(backend), m_config(std::move(config)), m_hub(hub), m_limits(limits) {}

CHttpServer::~CHttpServer() { Stop(); }

bool CHttpServer::Answer(MHD_Connection* connection, PendingRequest& pending) {
  pending.routed = true;
  HttpRequest& request = pending.request;
  MHD_get_connection_values(connection, MHD_HEADER_KIND, CollectValue, &request.headers);
  MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, CollectValue, &request.query);
  const HttpResponse response = RouteRequest(request, m_backend, m_config);
  if (!response.stream) return Queue(connection, response) == MHD_YES;

  // Admit the viewer, or refuse it while the others keep their pictures.
  unsigned count = m_streams.load();
  do {
    if (count >= m_limits.maxStreams) {
      HttpResponse busy = ErrorResponse(503, "too many viewers");
      busy.headers.emplace_back("Retry-After", "5");
      return Queue(connection, busy) == MHD_YES;
    }
  } while (!m_streams.compare_exchange_weak(count, count + 1));
  auto viewer = std::make_unique<StreamViewer>(m_hub, m_streams);
  MHD_Response* reply = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, &Callbacks::ReadStream,
                                                          viewer.get(), &Callbacks::FreeStream);
  if (!reply) return false;  // `viewer` goes with this scope
  viewer.release();          // the response's free callback owns it now
  const std::string type = std::string("multipart/x-mixed-replace; boundary=") + kStreamBoundary;
  MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, type.c_str());
  MHD_add_response_header(reply, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
  MHD_add_response_header(reply, "X-Content-Type-Options", "nosniff");
  const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, reply);
  MHD_destroy_response(reply);
  return result == MHD_YES;
}

std::string CHttpServer::Start(const std::string& host, std::uint16_t port) {
  if (m_daemon) return "already listening";
  sockaddr_storage address{};
  bool ipv6 = false;
  const std::string name = host == "localhost" ? "127.0.0.1" : host;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
  if (inet_pton(AF_INET, name.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
  } else if (inet_pton(AF_INET6, name.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    ipv6 = true;
  } else {
    return "not an IP address: " + host;
  }

  // A thread per connection: a viewer that stops reading blocks only its own thread.
  const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL |
                         (ipv6 ? static_cast<unsigned>(MHD_USE_IPv6) : 0u);
  m_daemon = MHD_start_daemon(flags, port, nullptr, nullptr, &Callbacks::Access, this, MHD_OPTION_SOCK_ADDR,
                              reinterpret_cast<sockaddr*>(&address), MHD_OPTION_CONNECTION_LIMIT,
                              static_cast<unsigned>(m_limits.maxConnections), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
                              static_cast<unsigned>(m_limits.maxConnectionsPerAddress), MHD_OPTION_CONNECTION_TIMEOUT,
                              static_cast<unsigned>(m_limits.idleTimeoutSeconds), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
                              static_cast<std::size_t>(m_limits.memoryPerConnection), MHD_OPTION_NOTIFY_COMPLETED,
                              &Callbacks::Completed, this, MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::ConnectionEvent,
                              this, MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_END);
  if (!m_daemon)
    return "cannot listen on " + host + ":" + std::to_string(port) + " (address in use or not on this computer)";
  const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
  m_port = info ? info->port : port;
  return {};
}

void CHttpServer::Stop() {
  if (!m_daemon) return;
  // Waiting viewers wake and end their streams; libmicrohttpd then closes
  // every connection and joins its threads.
  m_hub.Stop();
  MHD_stop_daemon(m_daemon);
  m_daemon = nullptr;
}

}  // namespace server
