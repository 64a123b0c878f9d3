// How the camera sends a frame in each picture-size mode: its size, its count
// of 64-byte chunks and what each pipe reader asks for, plus the link's waits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace camera {

inline constexpr std::size_t kChunkBytes = 64;
inline constexpr std::size_t kBytesPerPixel = 3;

struct FrameLayout {
  int mode;
  int width;
  int height;
  std::uint32_t chunkCount;
  std::uint32_t bytesPerPipeHighSpeed;
  std::uint32_t bytesPerPipeFullSpeed;

  std::uint32_t BytesPerPipe(bool highSpeed) const { return highSpeed ? bytesPerPipeHighSpeed : bytesPerPipeFullSpeed; }
  std::size_t FrameBytes() const { return static_cast<std::size_t>(width) * height * kBytesPerPixel; }
};

// Null for a code that names no size (3, negative codes, codes above 6).
const FrameLayout* FindFrameLayout(int mode);

// How long GrabFrame waits for the four pipes before the recovery request, and
// after it before giving the frame up, in the product's milliseconds.
struct FrameWaitLimits {
  std::uint32_t firstMs;
  std::uint32_t secondMs;
};
FrameWaitLimits FrameWaitLimitsFor(bool highSpeed);

}  // namespace camera
