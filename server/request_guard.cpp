#include "server/request_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "server/access_token.h"

namespace server {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// An IP literal as 16 bytes, IPv4 (and IPv4 written as ::ffff:a.b.c.d) in
// the mapped form, so that every spelling of one address compares equal.
std::optional<std::array<unsigned char, 16>> IpBytes(std::string_view text) {
  if (text.empty() || text.size() > INET6_ADDRSTRLEN) return std::nullopt;
  const std::string copy(text);
  std::array<unsigned char, 16> bytes{};
  in_addr v4{};
  if (inet_pton(AF_INET, copy.c_str(), &v4) == 1) {
    bytes[10] = bytes[11] = 0xFF;
    std::memcpy(bytes.data() + 12, &v4, 4);
    return bytes;
  }
  in6_addr v6{};
  if (inet_pton(AF_INET6, copy.c_str(), &v6) == 1) {
    std::memcpy(bytes.data(), &v6, 16);
    return bytes;
  }
  return std::nullopt;
}

bool SameAddress(std::string_view a, std::string_view b) {
  const auto x = IpBytes(a);
  const auto y = IpBytes(b);
  return x && y && *x == *y;
}

bool NameAllowed(std::string_view host, const SiteIdentity& site, std::string_view localAddress) {
  if (host.empty()) return false;
  if (SameName(host, "localhost") || SameName(host, site.boundHost)) return true;
  if (IpBytes(host)) {
    // A rebinding attack needs a name; an address literal names a machine,
    // so it only has to be one of ours.
    return IsLoopbackHost(host) || SameAddress(host, site.boundHost) || SameAddress(host, localAddress);
  }
  return std::any_of(site.extraHosts.begin(), site.extraHosts.end(),
                     [&](const std::string& name) { return SameName(host, name); });
}

// Without a port the name alone decides: it is what a rebound page cannot fake.
bool PortAllowed(std::optional<std::uint16_t> port, const SiteIdentity& site) { return !port || *port == site.port; }

}  // namespace

std::optional<HostAndPort> ParseHostHeader(std::string_view text) {
  HostAndPort parsed;
  std::string_view rest;
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string_view::npos || close == 1) return std::nullopt;
    parsed.host = std::string(text.substr(1, close - 1));
    if (!IpBytes(parsed.host) || parsed.host.find(':') == std::string::npos) return std::nullopt;
    rest = text.substr(close + 1);
  } else {
    const auto colon = text.find(':');
    parsed.host = std::string(text.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
    if (parsed.host.empty()) return std::nullopt;
    for (const char c : parsed.host)
      if (!(c == '.' || c == '-' || c == '_' || (c >= '0' && c <= '9') || (Lower(c) >= 'a' && Lower(c) <= 'z')))
        return std::nullopt;
  }
  if (rest.empty()) return parsed;
  if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) return std::nullopt;
  rest.remove_prefix(1);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (error != std::errc() || end != rest.data() + rest.size() || value == 0 || value > 65535) return std::nullopt;
  parsed.port = static_cast<std::uint16_t>(value);
  return parsed;
}

bool HostAllowed(std::string_view host, const SiteIdentity& site, std::string_view localAddress) {
  const auto parsed = ParseHostHeader(host);
  return parsed && PortAllowed(parsed->port, site) && NameAllowed(parsed->host, site, localAddress);
}

std::string ActionRefusal(const HeaderLookup& headers, const SiteIdentity& site, std::string_view localAddress) {
  if (headers.origin) {
    const std::string_view scheme = site.tls ? "https://" : "http://";
    const std::string_view origin = *headers.origin;
    if (!origin.starts_with(scheme) || !HostAllowed(origin.substr(scheme.size()), site, localAddress))
      return "requests from another site may not press buttons";
  }
  if (headers.fetchSite && *headers.fetchSite != "same-origin" && *headers.fetchSite != "none")
    return "requests from another site may not press buttons";
  if (!headers.actionHeader || *headers.actionHeader != "1")
    return "a request that presses a button needs the header X-Tavrocam: 1";
  return {};
}

}  // namespace server
