#include "server/serve_address.h"

#include <arpa/inet.h>

#include <charconv>

namespace server {

namespace {

std::optional<std::uint16_t> ParsePort(std::string_view text) {
  unsigned value = 0;
  if (text.empty() || text.size() > 5) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

// The server listens on an address, not a name: "nonsense" is refused here
// rather than when the listener cannot bind it.
bool ListenableHost(std::string_view host, int family) {
  if (host == "localhost") return true;
  const std::string text(host);
  in6_addr any{};
  return inet_pton(family, text.c_str(), &any) == 1;
}

bool PlainHost(std::string_view host) { return ListenableHost(host, AF_INET); }

// Letters, digits, dots and hyphens: the characters of a DNS name.
bool HostNameCharacters(std::string_view name) {
  for (const char c : name)
    if (!(c == '.' || c == '-' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
      return false;
  return true;
}

}  // namespace

std::optional<ServeAddress> ParseServeAddress(std::string_view text) {
  ServeAddress address;
  if (text.starts_with('[')) {
    const auto close = text.find(']');
    if (close == std::string_view::npos || close == 1) return std::nullopt;
    address.host = std::string(text.substr(1, close - 1));
    if (!ListenableHost(address.host, AF_INET6)) return std::nullopt;
    const std::string_view rest = text.substr(close + 1);
    if (rest.empty()) return address;
    if (!rest.starts_with(':')) return std::nullopt;
    const auto port = ParsePort(rest.substr(1));
    if (!port) return std::nullopt;
    address.port = *port;
    return address;
  }
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    if (!PlainHost(text)) return std::nullopt;
    address.host = std::string(text);
    return address;
  }
  // A bare IPv6 address needs brackets once a port may follow.
  if (text.find(':') != colon) return std::nullopt;
  const auto port = ParsePort(text.substr(colon + 1));
  if (!port) return std::nullopt;
  address.port = *port;
  if (colon > 0) {
    if (!PlainHost(text.substr(0, colon))) return std::nullopt;
    address.host = std::string(text.substr(0, colon));
  }
  return address;
}

bool IsServeHostName(std::string_view name) {
  if (name.empty() || name.size() > 253 || !HostNameCharacters(name)) return false;
  const auto edge = [](char c) { return c == '.' || c == '-'; };
  return !edge(name.front()) && !edge(name.back());
}

std::string FormatHostPort(const std::string& host, std::uint16_t port) {
  const bool ipv6 = host.find(':') != std::string::npos;
  return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace server
