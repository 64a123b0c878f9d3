#include "server/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "server/mjpeg_stream.h"
#include "server/mp4_stream.h"
#include "server/security_headers.h"

namespace server {

// One connection's state from its opening to its closing, owned through
// libmicrohttpd's socket context; `request` is refilled for each request.
struct ConnectionState {
  std::string clientAddress;
  std::string localAddress;
  int fd = -1;
  HttpRequest request;
  // The request target as sent, before libmicrohttpd decoded it.
  std::string rawTarget;
  bool routed = false;
};

namespace {

// One stream viewer, owned by libmicrohttpd's response from creation to its
// free callback.
template <typename Stream, typename Source>
struct StreamViewer {
  StreamViewer(Source& source, std::atomic<unsigned>& count) : stream(source), streams(count) {}
  ~StreamViewer() { streams.fetch_sub(1); }
  Stream stream;
  std::atomic<unsigned>& streams;
};
using MjpegViewer = StreamViewer<CMjpegStream, CFrameHub>;
using Mp4Viewer = StreamViewer<CMp4Stream, CLiveH264Feed>;

// Takes one place below `limit`, or false when all are taken.
bool TakePlace(std::atomic<unsigned>& count, unsigned limit) {
  unsigned now = count.load();
  do {
    if (now >= limit) return false;
  } while (!count.compare_exchange_weak(now, now + 1));
  return true;
}

MHD_Result CollectValue(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* into = static_cast<std::vector<std::pair<std::string, std::string>>*>(cls);
  into->emplace_back(key ? key : "", value ? value : "");
  return MHD_YES;
}

// A header the router already set for this answer is not sent twice.
void AddSecurityHeaders(MHD_Response* reply, const std::vector<std::pair<std::string, std::string>>& own = {}) {
  for (const auto& [name, value] : kSecurityHeaders) {
    const bool set = std::any_of(own.begin(), own.end(), [&](const auto& header) { return header.first == name; });
    if (!set) MHD_add_response_header(reply, std::string(name).c_str(), std::string(value).c_str());
  }
}

// Sends `reply` with the status and headers of `response`, and lets go of it.
MHD_Result QueueReply(MHD_Connection* connection, const HttpResponse& response, MHD_Response* reply) {
  if (!reply) return MHD_NO;
  if (!response.contentType.empty())
    MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, response.contentType.c_str());
  AddSecurityHeaders(reply, response.headers);
  for (const auto& [name, value] : response.headers) MHD_add_response_header(reply, name.c_str(), value.c_str());
  const MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(response.status), reply);
  MHD_destroy_response(reply);
  return result;
}

MHD_Result Queue(MHD_Connection* connection, const HttpResponse& response) {
  return QueueReply(connection, response,
                    MHD_create_response_from_buffer(response.body.size(), const_cast<char*>(response.body.data()),
                                                    MHD_RESPMEM_MUST_COPY));
}

// `response.file` as the body, read by libmicrohttpd as it goes out (a
// document may be many megabytes); 404 when it is gone.
MHD_Result QueueFile(MHD_Connection* connection, const HttpResponse& response) {
  const int fd = ::open(response.file.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (fd >= 0) ::close(fd);
    return Queue(connection, ErrorResponse(404, "the document is no longer there"));
  }
  // The response owns the descriptor from here and closes it when it is freed.
  MHD_Response* reply = MHD_create_response_from_fd64(static_cast<std::uint64_t>(info.st_size), fd);
  if (!reply) {
    ::close(fd);
    return MHD_NO;
  }
  return QueueReply(connection, response, reply);
}

enum class DeclaredLength { Fine, TooLarge, Malformed };

DeclaredLength CheckContentLength(MHD_Connection* connection) {
  const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
  if (!length) return DeclaredLength::Fine;
  // Digits only: strtoull alone would take "-1" as the largest number.
  if (*length == '\0' || std::strspn(length, "0123456789") != std::strlen(length)) return DeclaredLength::Malformed;
  errno = 0;
  const unsigned long long value = std::strtoull(length, nullptr, 10);
  return errno == ERANGE || value > kMaxBodyBytes ? DeclaredLength::TooLarge : DeclaredLength::Fine;
}

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  } else if (address->sa_family == AF_INET6) {
    const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    // An IPv4 client on a dual-stack socket counts as its IPv4 address.
    if (IN6_IS_ADDR_V4MAPPED(&v6))
      inet_ntop(AF_INET, v6.s6_addr + 12, text, sizeof text);
    else
      inet_ntop(AF_INET6, &v6, text, sizeof text);
  }
  return text;
}

// True when the target, decoded, holds a byte below 0x20 or 0x7F: the
// decoded path and query libmicrohttpd hands over end at a NUL.
bool DecodedTargetHasControlByte(const std::string& raw) {
  std::string decoded = raw;
  decoded.resize(MHD_http_unescape(decoded.data()));
  return std::any_of(decoded.begin(), decoded.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

ConnectionState* StateOf(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
  return info ? static_cast<ConnectionState*>(info->socket_context) : nullptr;
}

bool IsRefusal(int status) { return status == 400 || status == 401 || status == 403 || status == 421 || status == 429; }

}  // namespace

struct CHttpServer::Callbacks {
  // Called once the request line is in: the start of a new request.
  static void* RequestLine(void*, const char* uri, MHD_Connection* connection) {
    ConnectionState* state = StateOf(connection);
    if (!state) return nullptr;
    state->request = HttpRequest{};
    state->rawTarget = uri ? uri : "";
    state->routed = false;
    return state;
  }

  static MHD_Result Access(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
                           const char* uploadData, std::size_t* uploadSize, void** requestContext) {
    auto& self = *static_cast<CHttpServer*>(cls);
    auto* state = static_cast<ConnectionState*>(*requestContext);
    if (!state) return MHD_NO;  // no socket context: cannot happen, so refuse
    HttpRequest& request = state->request;
    if (request.method.empty()) {
      request.method = method;
      request.path = url;
      request.client = reinterpret_cast<std::uintptr_t>(connection);
      // A declared body beyond the limit, or a length that is no number, is
      // refused before any body is read.
      const DeclaredLength declared = CheckContentLength(connection);
      if (declared == DeclaredLength::Fine) return MHD_YES;
      request.bodyTooLarge = declared == DeclaredLength::TooLarge;
      request.bodyLengthMalformed = declared == DeclaredLength::Malformed;
      *uploadSize = 0;
      return self.Answer(connection, *state) ? MHD_YES : MHD_NO;
    }
    if (*uploadSize > 0) {
      std::string& body = request.body;
      const std::size_t room = kMaxBodyBytes - std::min(body.size(), kMaxBodyBytes);
      body.append(uploadData, std::min(room, *uploadSize));
      if (*uploadSize > room) request.bodyTooLarge = true;
      *uploadSize = 0;
      return MHD_YES;
    }
    if (state->routed) return MHD_YES;
    return self.Answer(connection, *state) ? MHD_YES : MHD_NO;
  }

  // A request ended (answered or not): a kept-alive connection waits again.
  static void Completed(void* cls, MHD_Connection* connection, void**, MHD_RequestTerminationCode code) {
    auto& self = *static_cast<CHttpServer*>(cls);
    ConnectionState* state = StateOf(connection);
    if (state && code == MHD_REQUEST_TERMINATED_COMPLETED_OK && self.m_pWatch)
      self.m_pWatch->Waiting(reinterpret_cast<std::uintptr_t>(connection), state->fd, state->clientAddress);
  }

  static void ConnectionEvent(void* cls, MHD_Connection* connection, void** socketContext,
                              MHD_ConnectionNotificationCode code) {
    auto& self = *static_cast<CHttpServer*>(cls);
    const auto key = reinterpret_cast<std::uintptr_t>(connection);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      auto state = std::make_unique<ConnectionState>();
      if (const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
        state->clientAddress = AddressText(info->client_addr);
      if (const auto* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)) {
        state->fd = info->connect_fd;
        sockaddr_storage local{};
        socklen_t length = sizeof local;
        if (::getsockname(state->fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
          state->localAddress = AddressText(reinterpret_cast<sockaddr*>(&local));
      }
      if (self.m_pWatch && state->fd >= 0) self.m_pWatch->Waiting(key, state->fd, state->clientAddress);
      *socketContext = state.release();  // freed at MHD_CONNECTION_NOTIFY_CLOSED
      return;
    }
    if (code != MHD_CONNECTION_NOTIFY_CLOSED) return;
    // Before libmicrohttpd closes the socket, so the watch lets go of it first.
    if (self.m_pWatch) self.m_pWatch->Done(key);
    std::unique_ptr<ConnectionState> owned(static_cast<ConnectionState*>(*socketContext));
    *socketContext = nullptr;
    if (self.onClientClosed) self.onClientClosed(key);
  }

  template <typename Viewer>
  static ssize_t ReadStream(void* cls, std::uint64_t, char* buffer, std::size_t capacity) {
    const long n = static_cast<Viewer*>(cls)->stream.Read(buffer, capacity);
    return n < 0 ? MHD_CONTENT_READER_END_OF_STREAM : n;
  }

  template <typename Viewer>
  static void FreeStream(void* cls) {
    std::unique_ptr<Viewer> owned(static_cast<Viewer*>(cls));
  }
};

CHttpServer::CHttpServer(IRouterBackend& backend, RouterConfig config, CFrameHub& hub, HttpServerLimits limits)
    : m_backend(backend), m_config(std::move(config)), m_hub(hub), m_limits(limits) {}

CHttpServer::~CHttpServer() { Stop(); }

bool CHttpServer::Answer(MHD_Connection* connection, ConnectionState& state) {
  state.routed = true;
  if (m_pWatch) m_pWatch->Done(reinterpret_cast<std::uintptr_t>(connection));
  HttpRequest& request = state.request;
  request.clientAddress = state.clientAddress;
  request.localAddress = state.localAddress;
  request.controlByteInTarget = DecodedTargetHasControlByte(state.rawTarget);
  MHD_get_connection_values(connection, MHD_HEADER_KIND, CollectValue, &request.headers);
  MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, CollectValue, &request.query);
  // The port is known once listening; connections only come after that.
  RouterConfig config = m_config;
  config.site.port = m_port.load();
  const HttpResponse response = RouteRequest(request, m_backend, config);
  if (IsRefusal(response.status) && onRefused) onRefused(request, response);
  if (!response.file.empty()) return QueueFile(connection, response) == MHD_YES;
  if (!response.stream) return Queue(connection, response) == MHD_YES;

  return AnswerStream(connection, response.mp4);
}

bool CHttpServer::AnswerStream(MHD_Connection* connection, bool mp4) {
  if (mp4 && !m_pFeed) return Queue(connection, ErrorResponse(503, "no H.264 stream here")) == MHD_YES;
  // Admit the viewer, or refuse it while the others keep their pictures.
  std::atomic<unsigned>& count = mp4 ? m_h264Streams : m_streams;
  if (!TakePlace(count, mp4 ? m_limits.maxH264Streams : m_limits.maxStreams)) {
    HttpResponse busy = ErrorResponse(503, "too many viewers");
    busy.headers.emplace_back("Retry-After", "5");
    return Queue(connection, busy) == MHD_YES;
  }
  MHD_Response* reply = nullptr;
  if (mp4) {
    auto viewer = std::make_unique<Mp4Viewer>(*m_pFeed, count);
    reply = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, &Callbacks::ReadStream<Mp4Viewer>,
                                              viewer.get(), &Callbacks::FreeStream<Mp4Viewer>);
    if (!reply) return false;  // `viewer` goes with this scope
    viewer.release();          // the response's free callback owns it now
    MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, "video/mp4");
  } else {
    auto viewer = std::make_unique<MjpegViewer>(m_hub, count);
    reply = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 64 * 1024, &Callbacks::ReadStream<MjpegViewer>,
                                              viewer.get(), &Callbacks::FreeStream<MjpegViewer>);
    if (!reply) return false;
    viewer.release();
    const std::string type = std::string("multipart/x-mixed-replace; boundary=") + kStreamBoundary;
    MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE, type.c_str());
  }
  MHD_add_response_header(reply, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
  AddSecurityHeaders(reply);
  const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_OK, reply);
  MHD_destroy_response(reply);
  return result == MHD_YES;
}

std::string CHttpServer::Start(const std::string& host, std::uint16_t port, TlsCredentials tls) {
  if (m_daemon) return "already listening";
  sockaddr_storage address{};
  bool ipv6 = false;
  bool dualStack = false;
  const std::string name = host == "localhost" ? "127.0.0.1" : host;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
  in6_addr mapped{};
  if (inet_pton(AF_INET, name.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
  } else if (inet_pton(AF_INET6, name.c_str(), &mapped) == 1 && IN6_IS_ADDR_V4MAPPED(&mapped)) {
    // ::ffff:a.b.c.d is an IPv4 address written the IPv6 way: listen on it as one.
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    std::memcpy(&v4->sin_addr, mapped.s6_addr + 12, 4);
  } else if (inet_pton(AF_INET6, name.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(port);
    ipv6 = true;
    // Every address, IPv4 ones included, as "0.0.0.0" and "::" mean to users.
    dualStack = IN6_IS_ADDR_UNSPECIFIED(&v6->sin6_addr);
  } else {
    return "not an IP address: " + host;
  }
  const bool secure = !tls.certificatePem.empty() || !tls.keyPem.empty();
  if (secure && (tls.certificatePem.empty() || tls.keyPem.empty())) return "HTTPS needs both a certificate and a key";
  m_tls = std::move(tls);
  m_config.site.boundHost = host;
  m_config.site.tls = secure;
  m_pWatch = std::make_unique<CConnectionWatch>(
      CConnectionWatch::Limits{m_limits.requestDeadline, m_limits.maxWaiting, m_limits.maxWaitingPerAddress});

  // A thread per connection: a viewer that stops reading blocks only its own thread.
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL;
  if (ipv6) flags |= dualStack ? static_cast<unsigned>(MHD_USE_DUAL_STACK) : static_cast<unsigned>(MHD_USE_IPv6);
  if (secure) flags |= MHD_USE_TLS;
  std::vector<MHD_OptionItem> extra;
  if (secure) {
    extra.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, m_tls.keyPem.data()});
    extra.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, m_tls.certificatePem.data()});
  }
  extra.push_back({MHD_OPTION_END, 0, nullptr});
  m_daemon = MHD_start_daemon(flags, port, nullptr, nullptr, &Callbacks::Access, this, MHD_OPTION_SOCK_ADDR,
                              reinterpret_cast<sockaddr*>(&address), MHD_OPTION_CONNECTION_LIMIT,
                              static_cast<unsigned>(m_limits.maxConnections), MHD_OPTION_PER_IP_CONNECTION_LIMIT,
                              static_cast<unsigned>(m_limits.maxConnectionsPerAddress), MHD_OPTION_CONNECTION_TIMEOUT,
                              static_cast<unsigned>(m_limits.idleTimeoutSeconds), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
                              static_cast<std::size_t>(m_limits.memoryPerConnection), MHD_OPTION_URI_LOG_CALLBACK,
                              &Callbacks::RequestLine, this, MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::Completed, this,
                              MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::ConnectionEvent, this,
                              MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_ARRAY, extra.data(), MHD_OPTION_END);
  if (!m_daemon) {
    m_pWatch.reset();
    return "cannot listen on " + host + ":" + std::to_string(port) +
           (secure ? " (address in use, not on this computer, or the certificate and key do not load)"
                   : " (address in use or not on this computer)");
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
  m_port = info ? info->port : port;
  return {};
}

void CHttpServer::Stop() {
  if (!m_daemon) return;
  // Waiting viewers wake and end their streams; libmicrohttpd then closes
  // every connection and joins its threads.
  m_hub.Stop();
  if (m_pFeed) m_pFeed->EndViewers();
  MHD_stop_daemon(m_daemon);
  m_daemon = nullptr;
  m_pWatch.reset();
}

}  // namespace server
