// How the camera lays a frame on its four bulk pipes: 64-byte chunks, chunk k
// on pipe k mod 4, each triple of chunks carrying the red, green and blue bytes
// of 64 pixels; and how many bytes each pipe sends per frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace sim {

inline constexpr int kPipeCount = 4;
inline constexpr std::size_t kChunkBytes = 64;

struct ModeGeometry {
  int code = 0;
  int width = 0;
  int height = 0;
  std::uint32_t shareHighSpeed = 0;  // bytes a pipe sends per frame at high speed
  std::uint32_t shareFullSpeed = 0;  // and at full speed

  std::size_t FrameBytes() const { return static_cast<std::size_t>(width) * height * 3; }
  std::size_t ChunkCount() const { return FrameBytes() / kChunkBytes; }
  std::uint32_t Share(bool highSpeed) const { return highSpeed ? shareHighSpeed : shareFullSpeed; }
  // Bytes the chunk rule alone puts on a pipe.
  std::size_t NaturalPipeBytes(int pipe) const;
};

// The six picture modes; empty for code 3 and any other code.
std::optional<ModeGeometry> GeometryForMode(int code);

// The mode a Monitor Out value (0 XGA, 1 VGA, 2 SVGA) selects at a connection speed.
std::optional<int> ModeForMonitorOut(int monitorOut, bool highSpeed);
// The Monitor Out value of a mode code (-1 for code 3 and unknown codes).
int MonitorOutForMode(int code);

// The largest share any pipe carries.
inline constexpr std::size_t kMaxShareBytes = 1024 * 768 * 3 / 4;

// Four pipe buffers, each of a pipe's natural size (or larger).
using PipeSpans = std::array<std::span<std::uint8_t>, kPipeCount>;

// Cuts a picture (rows of B,G,R pixels) into the four pipes by the chunk rule.
// Each pipe span must hold NaturalPipeBytes for its pipe.
void ScatterPicture(const ModeGeometry& mode, std::span<const std::uint8_t> bgr, const PipeSpans& pipes);

// Writes one pixel straight into pipe buffers; bytes the chunk rule puts
// beyond a span's end (a share shorter than the chunk rule) are dropped.
class PipePixelWriter {
 public:
  PipePixelWriter(int width, int height, const PipeSpans& pipes) : m_width(width), m_height(height), m_pipes(pipes) {}
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  void Put(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r);

 private:
  void PutByte(std::size_t chunk, std::size_t byteInChunk, std::uint8_t value);
  int m_width;
  int m_height;
  PipeSpans m_pipes;
};

}  // namespace sim
