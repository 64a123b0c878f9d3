#include "server/access_token.h"

#include <arpa/inet.h>
#include <sys/random.h>

#include <array>
#include <bitset>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace server {

bool TokensEqual(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  // Walk the expected secret whatever the given length; out-of-range
  // positions compare against a fixed byte.
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    difference |= static_cast<unsigned char>(g ^ static_cast<unsigned char>(expected[i]));
  }
  return difference == 0 && !expected.empty();
}

std::string TokenWeakness(std::string_view token) {
  if (token.size() < kMinTokenLength)
    return "the token needs at least " + std::to_string(kMinTokenLength) + " characters";
  std::bitset<256> seen;
  for (const char c : token) seen.set(static_cast<unsigned char>(c));
  if (seen.count() < kMinTokenDistinctCharacters)
    return "the token needs at least " + std::to_string(kMinTokenDistinctCharacters) + " different characters";
  return {};
}

std::string GenerateToken() {
  static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // Bytes at or above the largest multiple of the alphabet's size are drawn
  // again, so that every character is equally likely.
  constexpr unsigned kUsable = 256 / kAlphabet.size() * kAlphabet.size();
  std::string token;
  std::array<unsigned char, 64> random{};
  while (token.size() < 32 || !TokenWeakness(token).empty()) {
    if (token.size() >= 32) token.clear();
    const ssize_t got = ::getrandom(random.data(), random.size(), 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("no random source: ") + std::strerror(errno));
    }
    for (ssize_t i = 0; i < got && token.size() < 32; ++i)
      if (random[static_cast<std::size_t>(i)] < kUsable)
        token += kAlphabet[random[static_cast<std::size_t>(i)] % kAlphabet.size()];
  }
  return token;
}

bool IsLoopbackHost(std::string_view host) {
  if (host == "localhost") return true;
  const std::string text(host);
  in_addr v4{};
  if (inet_pton(AF_INET, text.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, text.c_str(), &v6) != 1) return false;
  if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
  // An IPv4 loopback address written in the IPv6 form ::ffff:127.x.y.z.
  return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

}  // namespace server
