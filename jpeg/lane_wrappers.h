// The intrinsics of the kernel files behind one set of names for every
// register width, so that one template body serves 128-bit, 256-bit and
// 512-bit lanes. Internal linkage on purpose: each file compiles its own copy
// with its own instruction-set flags, so the linker never mixes them.
#pragma once

#include <emmintrin.h>
#ifdef __AVX2__
#include <immintrin.h>
#endif

#include <cstdint>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

#define TAVROCAM_LANES_INLINE inline __attribute__((always_inline))

namespace jpeg {
namespace {

// The wrappers below come as one list per job, written once for a register
// type V, its intrinsics' prefix P (_mm, _mm256, _mm512) and its whole-register
// suffix S (si128, si256, si512), and instantiated for every width the file is
// built for: 128-bit always, 256-bit with AVX2, 512-bit with AVX-512.
#define TAVROCAM_LANES_128(LIST) LIST(__m128i, _mm, si128)
#ifdef __AVX2__
#define TAVROCAM_LANES_256(LIST) LIST(__m256i, _mm256, si256)
#else
#define TAVROCAM_LANES_256(LIST)
#endif
#ifdef __AVX512BW__
#define TAVROCAM_LANES_512(LIST) LIST(__m512i, _mm512, si512)
#else
#define TAVROCAM_LANES_512(LIST)
#endif
#define TAVROCAM_FOR_EACH_LANE_WIDTH(LIST) TAVROCAM_LANES_128(LIST) TAVROCAM_LANES_256(LIST) TAVROCAM_LANES_512(LIST)

// The unpacks (of the transposes, and the bytes' widening); the wider ones
// work on each 128-bit lane apart.
#define TAVROCAM_UNPACK_WRAPPERS(V, P, S)                                           \
  TAVROCAM_LANES_INLINE V UnpackLo16(V a, V b) { return P##_unpacklo_epi16(a, b); } \
  TAVROCAM_LANES_INLINE V UnpackHi16(V a, V b) { return P##_unpackhi_epi16(a, b); } \
  TAVROCAM_LANES_INLINE V UnpackLo32(V a, V b) { return P##_unpacklo_epi32(a, b); } \
  TAVROCAM_LANES_INLINE V UnpackHi32(V a, V b) { return P##_unpackhi_epi32(a, b); } \
  TAVROCAM_LANES_INLINE V UnpackLo64(V a, V b) { return P##_unpacklo_epi64(a, b); } \
  TAVROCAM_LANES_INLINE V UnpackHi64(V a, V b) { return P##_unpackhi_epi64(a, b); } \
  TAVROCAM_LANES_INLINE V UnpackLo8(V a, V b) { return P##_unpacklo_epi8(a, b); }   \
  TAVROCAM_LANES_INLINE V UnpackHi8(V a, V b) { return P##_unpackhi_epi8(a, b); }
TAVROCAM_FOR_EACH_LANE_WIDTH(TAVROCAM_UNPACK_WRAPPERS)
#undef TAVROCAM_UNPACK_WRAPPERS

// The 16-bit and 32-bit lane arithmetic.
#define TAVROCAM_ARITHMETIC_WRAPPERS(V, P, S)                                             \
  TAVROCAM_LANES_INLINE V Add16(V a, V b) { return P##_add_epi16(a, b); }                 \
  TAVROCAM_LANES_INLINE V Sub16(V a, V b) { return P##_sub_epi16(a, b); }                 \
  TAVROCAM_LANES_INLINE V Times8(V a) { return P##_slli_epi16(a, 3); }                    \
  TAVROCAM_LANES_INLINE V Add32(V a, V b) { return P##_add_epi32(a, b); }                 \
  TAVROCAM_LANES_INLINE V Sub32(V a, V b) { return P##_sub_epi32(a, b); }                 \
  template <int kShift>                                                                   \
  TAVROCAM_LANES_INLINE V Shift32(V a) {                                                  \
    return P##_srai_epi32(a, kShift);                                                     \
  }                                                                                       \
  template <int kShift>                                                                   \
  TAVROCAM_LANES_INLINE V ShiftLeft32(V a) {                                              \
    return P##_slli_epi32(a, kShift);                                                     \
  }                                                                                       \
  TAVROCAM_LANES_INLINE V And(V a, V b) { return P##_and_##S(a, b); }                     \
  TAVROCAM_LANES_INLINE V Or(V a, V b) { return P##_or_##S(a, b); }                       \
  TAVROCAM_LANES_INLINE V Madd(V a, V b) { return P##_madd_epi16(a, b); }                 \
  TAVROCAM_LANES_INLINE V Pack32(V a, V b) { return P##_packs_epi32(a, b); }              \
  TAVROCAM_LANES_INLINE void Splat32(int v, V& out) { out = P##_set1_epi32(v); }          \
  TAVROCAM_LANES_INLINE void Splat16(std::int16_t v, V& out) { out = P##_set1_epi16(v); } \
  TAVROCAM_LANES_INLINE void Zero(V& out) { out = P##_setzero_##S(); }
TAVROCAM_FOR_EACH_LANE_WIDTH(TAVROCAM_ARITHMETIC_WRAPPERS)
#undef TAVROCAM_ARITHMETIC_WRAPPERS

#ifdef __AVX2__
// The byte shuffle, which SSE2 lacks, and the same sixteen bytes in every
// 128-bit lane (whose intrinsics have no common pattern).
#define TAVROCAM_SHUFFLE_WRAPPERS(V, P, S) \
  TAVROCAM_LANES_INLINE V ShuffleBytes(V a, V mask) { return P##_shuffle_epi8(a, mask); }
TAVROCAM_FOR_EACH_LANE_WIDTH(TAVROCAM_SHUFFLE_WRAPPERS)
#undef TAVROCAM_SHUFFLE_WRAPPERS
TAVROCAM_LANES_INLINE void Broadcast128(__m128i v, __m128i& out) { out = v; }
TAVROCAM_LANES_INLINE void Broadcast128(__m128i v, __m256i& out) { out = _mm256_broadcastsi128_si256(v); }
#endif
#ifdef __AVX512BW__
TAVROCAM_LANES_INLINE void Broadcast128(__m128i v, __m512i& out) { out = _mm512_broadcast_i32x4(v); }
#endif

}  // namespace
}  // namespace jpeg

#pragma GCC diagnostic pop
