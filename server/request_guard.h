// Who may talk to the server and who may act through it, decided from the
// request's own headers: the name it was sent to (against DNS rebinding)
// and, for requests that press buttons, proof that they come from our page
// (against any other web page the user has open).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace server {

// The request header our page sends with every request that acts. A page on
// another origin cannot add it without a preflight, which we never answer.
inline constexpr std::string_view kActionHeader = "X-Tavrocam";

struct SiteIdentity {
  // The address given to --serve: an IP literal or "localhost".
  std::string boundHost = "127.0.0.1";
  std::uint16_t port = 0;
  bool tls = false;
  // Further names the server may be reached by (--serve-host, ServeHosts).
  std::vector<std::string> extraHosts;
};

// "name", "name:port", "[v6]" or "[v6]:port" split up; nothing when malformed.
struct HostAndPort {
  std::string host;  // IPv6 without brackets; names as given
  std::optional<std::uint16_t> port;
};
std::optional<HostAndPort> ParseHostHeader(std::string_view text);

// True when `host` (a Host header's value) names this server: the bound
// address, the address the connection arrived on (`localAddress`), a loopback
// literal, "localhost", or an extra name, with the server's port or none.
bool HostAllowed(std::string_view host, const SiteIdentity& site, std::string_view localAddress);

// Empty when a request that acts may go ahead, else why not: Origin (when
// sent) one of our own origins, Sec-Fetch-Site (when sent) "same-origin" or
// "none", and the action header present.
struct HeaderLookup {
  std::optional<std::string_view> origin;
  std::optional<std::string_view> fetchSite;
  std::optional<std::string_view> actionHeader;
};
std::string ActionRefusal(const HeaderLookup& headers, const SiteIdentity& site, std::string_view localAddress);

}  // namespace server
