// Headers every answer carries, so that the browser neither guesses types,
// nor sends the page's address (and the token in it) elsewhere, nor lets
// another site frame the page or run code in it.
#pragma once

#include <array>
#include <string_view>
#include <utility>

namespace server {

// The page runs only its own files (no inline script, style or handler);
// pictures may also be data: and blob: addresses the script makes itself.
inline constexpr std::string_view kContentSecurityPolicy =
    "default-src 'self'; img-src 'self' data: blob:; media-src 'self' blob:; connect-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

inline constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kSecurityHeaders = {{
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Content-Security-Policy", kContentSecurityPolicy},
    {"X-Frame-Options", "DENY"},
}};

}  // namespace server
