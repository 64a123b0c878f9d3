// The secret a client must show when the server listens beyond the
// loopback: checking it, making one, and telling loopback addresses apart.
#pragma once

#include <string>
#include <string_view>

namespace server {

inline constexpr std::size_t kMinTokenLength = 16;
inline constexpr std::size_t kMinTokenDistinctCharacters = 8;

// Empty when `token` is strong enough, else why not (too short, or too few
// different characters, as in "aaaaaaaaaaaaaaaa").
std::string TokenWeakness(std::string_view token);

// Compares in time that depends only on the lengths, so that a client cannot
// find the secret one character at a time by timing the answers.
bool TokensEqual(std::string_view given, std::string_view expected);

// 32 characters from [A-Za-z0-9], from the system's random source; never weak.
std::string GenerateToken();

// "127.0.0.1", any 127.x.y.z, "::1" and "localhost".
bool IsLoopbackHost(std::string_view host);

}  // namespace server
