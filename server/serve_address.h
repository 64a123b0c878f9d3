// The address the web server listens on, as given after --serve=.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace server {

struct ServeAddress {
  std::string host = "127.0.0.1";
  std::uint16_t port = 8400;
};

// "ADDR:PORT", "[IPv6]:PORT", "ADDR" (port 8400) or ":PORT" (127.0.0.1),
// ADDR an IPv4 address or localhost; nothing for anything else, a host name
// (the server binds addresses) or a port beyond 65535 included.
std::optional<ServeAddress> ParseServeAddress(std::string_view text);

// A name for --serve-host / ServeHosts: letters, digits, '-' and '.', not
// starting or ending with a dot or hyphen, at most 253 characters.
bool IsServeHostName(std::string_view name);

// "host:port", with brackets around an IPv6 address.
std::string FormatHostPort(const std::string& host, std::uint16_t port);

}  // namespace server
