// Text values of the per-user profile (section "Setting"), beside the window
// positions: the extra camera ids a user with an unlisted camera keeps there.
#pragma once

#include <string>

// Empty when the key is missing.
std::string ReadProfileText(const char* key);

// "UsbIds": USB ids added to the built-in camera list, "VVVV:PPPP" separated
// by spaces or commas.
inline constexpr char kProfileUsbIds[] = "UsbIds";
