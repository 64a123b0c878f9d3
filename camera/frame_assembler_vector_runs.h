// The vector kernels' runs, one template over the register width: a file
// built with SSSE3 or AVX2 includes this and gives it a lanes type with that
// width's operations:
//
//   struct Lanes {
//     using Vec = ...;                          // the register
//     static constexpr std::size_t kPixels;     // pixels of one step, 16 a 16-byte lane
//     static Vec Mask(const Lane& lane);        // a lane's mask in every lane of the register
//     // kPixels bytes of a plane; reversed, the lanes swap so that lane 0
//     // holds the pixels that come out first.
//     template <bool kReverse> static Vec LoadPlane(const std::uint8_t* p);
//     static Vec Shuffle(Vec v, Vec picks), And(Vec a, Vec b), Or(Vec a, Vec b);
//     // The three output vectors, each with lane 0 low, as 3 * kPixels bytes.
//     static void Store(std::uint8_t* out, Vec o0, Vec o1, Vec o2);
//   };
//
// The 16-byte lanes are here too: SSSE3 steps with them, AVX2 finishes its
// runs with them.
#pragma once

#include <tmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "camera/frame_assembler_loop.h"
#include "camera/frame_assembler_masks.h"

namespace camera::kernels {
namespace {

// Holds the masks in registers for a whole frame; what is left of a run
// after the last whole step goes to `Narrower`.
template <class Lanes, class Narrower>
class VectorRuns {
 public:
  using Vec = typename Lanes::Vec;
  static constexpr std::size_t kPixels = Lanes::kPixels;

  VectorRuns() {
    for (int p = 0; p < 3; ++p) {
      m_gatherForward[p] = Lanes::Mask(kLaneMasks.gatherForward[p]);
      m_gatherReverse[p] = Lanes::Mask(kLaneMasks.gatherReverse[p]);
      m_positions[p] = Lanes::Mask(kLaneMasks.select[0][p]);  // positions t with t mod 3 = p
    }
  }

  void Forward(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    std::size_t i = 0;
    for (; i + kPixels <= n; i += kPixels) Interleave<false>(first + i, second + i, third + i, out + 3 * i);
    if (i < n) ForwardTail(first + i, second + i, third + i, n - i, out + 3 * i);
  }

  // Output pixels m..m+kPixels-1 are input pixels n-kPixels-m..n-1-m, taken
  // last to first.
  void Reverse(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third, std::size_t n,
               std::uint8_t* out) const {
    std::size_t m = 0;
    for (; m + kPixels <= n; m += kPixels) {
      const std::size_t i = n - kPixels - m;
      Interleave<true>(first + i, second + i, third + i, out + 3 * m);
    }
    if (m < n) ReverseTail(first, second, third, n - m, out + 3 * m);
  }

 private:
  // Out of line, so that the narrower kernels' masks never take the
  // registers this frame's masks are kept in.
  [[gnu::noinline]] static void ForwardTail(const std::uint8_t* first, const std::uint8_t* second,
                                            const std::uint8_t* third, std::size_t n, std::uint8_t* out) {
    Narrower().Forward(first, second, third, n, out);
  }
  [[gnu::noinline]] static void ReverseTail(const std::uint8_t* first, const std::uint8_t* second,
                                            const std::uint8_t* third, std::size_t n, std::uint8_t* out) {
    Narrower().Reverse(first, second, third, n, out);
  }

  // Output vector v takes plane p at the positions t with (v + t) mod 3 = p.
  Vec Pick(const Vec (&planes)[3], int v) const {
    return Lanes::Or(
        Lanes::Or(Lanes::And(planes[0], m_positions[(3 - v) % 3]), Lanes::And(planes[1], m_positions[(4 - v) % 3])),
        Lanes::And(planes[2], m_positions[(5 - v) % 3]));
  }

  // kPixels pixels from kPixels bytes of each plane, into 3 * kPixels output bytes.
  template <bool kReverse>
  void Interleave(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                  std::uint8_t* out) const {
    const Vec(&gather)[3] = kReverse ? m_gatherReverse : m_gatherForward;
    const Vec planes[3]{Lanes::Shuffle(Lanes::template LoadPlane<kReverse>(first), gather[0]),
                        Lanes::Shuffle(Lanes::template LoadPlane<kReverse>(second), gather[1]),
                        Lanes::Shuffle(Lanes::template LoadPlane<kReverse>(third), gather[2])};
    Lanes::Store(out, Pick(planes, 0), Pick(planes, 1), Pick(planes, 2));
  }

  Vec m_gatherForward[3];
  Vec m_gatherReverse[3];
  Vec m_positions[3];
};

struct Lanes16 {
  using Vec = __m128i;
  static constexpr std::size_t kPixels = 16;

  static Vec Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static Vec Mask(const Lane& lane) { return Load(lane); }
  // One lane: the reversed gather alone puts its pixels in order.
  template <bool kReverse>
  static Vec LoadPlane(const std::uint8_t* p) {
    return Load(p);
  }
  static Vec Shuffle(Vec v, Vec picks) { return _mm_shuffle_epi8(v, picks); }
  static Vec And(Vec a, Vec b) { return _mm_and_si128(a, b); }
  static Vec Or(Vec a, Vec b) { return _mm_or_si128(a, b); }
  static void Store(std::uint8_t* out, Vec o0, Vec o1, Vec o2) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), o0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), o1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32), o2);
  }
};

// SSSE3's runs: 16 pixels a step, the rest plain.
using Ssse3Runs = VectorRuns<Lanes16, PlainRuns>;

}  // namespace
}  // namespace camera::kernels
