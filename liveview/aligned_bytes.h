// Byte buffers that start on a cache line: a quarter turn into one can store
// whole lines past the cache (see frame_rotation_avx512.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

struct FreeAlignedBytes {
  void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};

using AlignedBytes = std::unique_ptr<std::uint8_t[], FreeAlignedBytes>;

inline constexpr std::size_t kCacheLineBytes = 64;

// `count` bytes, uninitialised, on a 64-byte boundary; throws std::bad_alloc
// as make_unique does when memory is short.
inline AlignedBytes MakeAlignedBytes(std::size_t count) {
  const std::size_t whole = (count + kCacheLineBytes - 1) / kCacheLineBytes * kCacheLineBytes;
  auto* bytes = static_cast<std::uint8_t*>(std::aligned_alloc(kCacheLineBytes, whole == 0 ? kCacheLineBytes : whole));
  if (bytes == nullptr) throw std::bad_alloc();
  return AlignedBytes(bytes);
}
