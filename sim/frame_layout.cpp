#include "sim/frame_layout.h"

#include <cstring>

namespace sim {

namespace {

// Mode 5's shares are the camera's own: 91,200 bytes a pipe at high speed and
// 1,406 chunks at full speed, whatever the chunk rule gives.
constexpr std::array<ModeGeometry, 6> kModes = {{
    {0, 640, 480, 230400, 230400},
    {1, 800, 600, 360000, 360000},
    {2, 1024, 768, 589824, 589824},
    {4, 320, 240, 57600, 57600},
    {5, 400, 300, 91200, 89984},
    {6, 512, 384, 147456, 147456},
}};

}  // namespace

std::size_t ModeGeometry::NaturalPipeBytes(int pipe) const {
  const std::size_t chunks = ChunkCount();
  const auto p = static_cast<std::size_t>(pipe);
  if (p >= chunks) return 0;
  return ((chunks - p + kPipeCount - 1) / kPipeCount) * kChunkBytes;
}

std::optional<ModeGeometry> GeometryForMode(int code) {
  for (const ModeGeometry& m : kModes) {
    if (m.code == code) return m;
  }
  return std::nullopt;
}

std::optional<int> ModeForMonitorOut(int monitorOut, bool highSpeed) {
  switch (monitorOut) {
    case 0: return highSpeed ? 2 : 6;
    case 1: return highSpeed ? 0 : 4;
    case 2: return highSpeed ? 1 : 5;
    default: return std::nullopt;
  }
}

int MonitorOutForMode(int code) {
  switch (code) {
    case 2:
    case 6: return 0;
    case 0:
    case 4: return 1;
    case 1:
    case 5: return 2;
    default: return -1;
  }
}

void ScatterPicture(const ModeGeometry& mode, std::span<const std::uint8_t> bgr, const PipeSpans& pipes) {
  const std::size_t triples = mode.ChunkCount() / 3;
  const std::uint8_t* px = bgr.data();
  for (std::size_t j = 0; j < triples; ++j, px += kChunkBytes * 3) {
    const std::size_t k = 3 * j;
    std::uint8_t* red = pipes[k % kPipeCount].data() + (k / kPipeCount) * kChunkBytes;
    std::uint8_t* green = pipes[(k + 1) % kPipeCount].data() + ((k + 1) / kPipeCount) * kChunkBytes;
    std::uint8_t* blue = pipes[(k + 2) % kPipeCount].data() + ((k + 2) / kPipeCount) * kChunkBytes;
    for (std::size_t i = 0; i < kChunkBytes; ++i) {
      blue[i] = px[3 * i];
      green[i] = px[3 * i + 1];
      red[i] = px[3 * i + 2];
    }
  }
}

void PipePixelWriter::PutByte(std::size_t chunk, std::size_t byteInChunk, std::uint8_t value) {
  std::span<std::uint8_t> pipe = m_pipes[chunk % kPipeCount];
  const std::size_t offset = (chunk / kPipeCount) * kChunkBytes + byteInChunk;
  if (offset < pipe.size()) pipe[offset] = value;
}

void PipePixelWriter::Put(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
  const std::size_t pixel = static_cast<std::size_t>(y) * m_width + x;
  const std::size_t triple = pixel / kChunkBytes;
  const std::size_t i = pixel % kChunkBytes;
  PutByte(3 * triple, i, r);
  PutByte(3 * triple + 1, i, g);
  PutByte(3 * triple + 2, i, b);
}

}  // namespace sim
