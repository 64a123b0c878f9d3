// The inner loops of frame assembly: n pixels built from three colour planes,
// written forwards or in reverse pixel order. out[3m..3m+2] = first[i],
// second[i], third[i] with i = m (forward) or n-1-m (reverse).
#pragma once

#include <cstddef>
#include <cstdint>

namespace camera::kernels {

void InterleaveForwardPlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);
void InterleaveReversePlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);

// Present only on x86; callers check VectorAssemblySupported() first.
bool Ssse3Available();
void InterleaveForwardSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);
void InterleaveReverseSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);

}  // namespace camera::kernels
