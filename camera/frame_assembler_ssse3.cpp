// Built with -mssse3; nothing here runs before Ssse3Available() said yes.
#include <array>

#include "camera/frame_assembler_kernels.h"

#if defined(__SSSE3__)
#include <tmmintrin.h>
#endif

namespace camera::kernels {

#if defined(__SSSE3__)

namespace {

constexpr std::uint8_t kZero = 0x80;  // a shuffle index with its top bit set writes 0

// Shuffle masks that spread 16 bytes of one plane over 48 bytes of pixels:
// mask [v][plane] builds output vector v (bytes 16v..16v+15) from that plane.
// Reverse masks take the plane's pixels last to first.
struct PlaneMasks {
  std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3> forward{};
  std::array<std::array<std::array<std::uint8_t, 16>, 3>, 3> reverse{};
};

constexpr PlaneMasks MakeMasks() {
  PlaneMasks masks{};
  for (int v = 0; v < 3; ++v) {
    for (int plane = 0; plane < 3; ++plane) {
      for (int t = 0; t < 16; ++t) {
        const int byte = 16 * v + t;
        const int pixel = byte / 3;
        const bool mine = byte % 3 == plane;
        masks.forward[v][plane][t] = mine ? static_cast<std::uint8_t>(pixel) : kZero;
        masks.reverse[v][plane][t] = mine ? static_cast<std::uint8_t>(15 - pixel) : kZero;
      }
    }
  }
  return masks;
}

constexpr PlaneMasks kMasks = MakeMasks();

inline __m128i Load(const std::array<std::uint8_t, 16>& bytes) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data()));
}

// 16 pixels from 16 bytes of each plane, into 48 output bytes.
template <bool kReverse>
inline void Interleave16(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                         std::uint8_t* out) {
  const auto& m = kReverse ? kMasks.reverse : kMasks.forward;
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second));
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(third));
  for (int v = 0; v < 3; ++v) {
    const __m128i x = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, Load(m[v][0])), _mm_shuffle_epi8(b, Load(m[v][1]))),
                                   _mm_shuffle_epi8(c, Load(m[v][2])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * v), x);
  }
}

}  // namespace

bool Ssse3Available() { return __builtin_cpu_supports("ssse3"); }

void InterleaveForwardSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) Interleave16<false>(first + i, second + i, third + i, out + 3 * i);
  InterleaveForwardPlain(first + i, second + i, third + i, n - i, out + 3 * i);
}

void InterleaveReverseSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  // Output pixels m..m+15 are input pixels n-16-m..n-1-m, taken last to first.
  std::size_t m = 0;
  for (; m + 16 <= n; m += 16) {
    const std::size_t i = n - 16 - m;
    Interleave16<true>(first + i, second + i, third + i, out + 3 * m);
  }
  InterleaveReversePlain(first, second, third, n - m, out + 3 * m);
}

#else

bool Ssse3Available() { return false; }
void InterleaveForwardSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  InterleaveForwardPlain(first, second, third, n, out);
}
void InterleaveReverseSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out) {
  InterleaveReversePlain(first, second, third, n, out);
}

#endif

}  // namespace camera::kernels
