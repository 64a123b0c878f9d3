// A minimal host for the simulated camera: the driver calls a camera link
// makes, and a plain reassembly of a frame from its four pipes, written
// independently of the camera's own layout code.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/driver_records.h"
#include "sim/sim_driver.h"

namespace simtest {

using platform::DeviceHandle;
using platform::TransferDirection;

struct Host {
  explicit Host(sim::SimOptions options = {}) : driver(sim::CreateSimulatedDriver(options)) {}

  DeviceHandle Open(int number = 0) { return driver->Open(platform::DevicePath(number)); }

  bool Request(DeviceHandle h, std::uint8_t code, TransferDirection dir, std::vector<std::uint8_t>& data,
               std::uint32_t& got) {
    return platform::SendVendorRequest(*driver, h, code, dir, data, got);
  }
  bool Out(DeviceHandle h, std::uint8_t code) {
    std::vector<std::uint8_t> none;
    std::uint32_t got = 0;
    return Request(h, code, TransferDirection::HostToDevice, none, got);
  }
  int Mode(DeviceHandle h) {
    std::vector<std::uint8_t> reply(20, 0xEE);
    std::uint32_t got = 0;
    if (!Request(h, 0xB0, TransferDirection::DeviceToHost, reply, got) || got != 20) return -100;
    return static_cast<std::int8_t>(reply[0]);
  }

  // Reads `share` bytes from a pipe in pieces of at most 65,024 bytes; the
  // bytes that arrived, or fewer when a read failed.
  std::vector<std::uint8_t> ReadShare(DeviceHandle h, std::uint32_t pipe, std::size_t share) {
    std::vector<std::uint8_t> out(share, 0);
    std::size_t pos = 0;
    while (pos < share) {
      const std::size_t piece = std::min<std::size_t>(share - pos, platform::kMaxBulkReadBytes);
      std::uint32_t got = 0;
      if (!platform::ReadBulkPipe(*driver, h, pipe, std::span(out).subspan(pos, piece), got) || got == 0) {
        out.resize(pos);
        break;
      }
      pos += got;
    }
    return out;
  }

  // Sends a command frame and collects the whole reply (up to 64 bytes).
  std::vector<std::uint8_t> Exchange(DeviceHandle h, std::vector<std::uint8_t> frame) {
    std::uint32_t got = 0;
    if (!Request(h, 0xBC, TransferDirection::HostToDevice, frame, got)) return {};
    std::vector<std::uint8_t> reply;
    for (int i = 0; i < 64; ++i) {
      std::vector<std::uint8_t> piece(24);
      if (!Request(h, 0xBD, TransferDirection::DeviceToHost, piece, got) || got == 0) break;
      reply.insert(reply.end(), piece.begin(), piece.begin() + got);
    }
    return reply;
  }

  std::shared_ptr<sim::SimDriver> driver;
};

inline std::uint8_t Sum(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to) {
  unsigned s = 0;
  for (std::size_t i = from; i < to; ++i) s += v[i];
  return static_cast<std::uint8_t>(s);
}

inline std::vector<std::uint8_t> SetFrame(std::uint8_t code, std::uint8_t value, std::uint8_t header = 0x80) {
  std::vector<std::uint8_t> f = {0xAA, header, 0x00, code, value, 0, 0xA5};
  f[5] = Sum(f, 1, 5);
  return f;
}
inline std::vector<std::uint8_t> QueryFrame(std::uint8_t code) { return {0xAA, 0x00, 0x00, code, code, 0xA5}; }

// The reference reassembly: chunk k of pipe k mod 4 at 64 x (k div 4); a chunk
// not (wholly) received counts as zeros.
inline std::vector<std::uint8_t> Reassemble(int width, int height,
                                            const std::array<std::vector<std::uint8_t>, 4>& pipes) {
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  const std::size_t chunks = pixels * 3 / 64;
  std::vector<std::uint8_t> frame(pixels * 3, 0);
  auto chunkByte = [&](std::size_t k, std::size_t i) -> std::uint8_t {
    const auto& pipe = pipes[k % 4];
    const std::size_t offset = 64 * (k / 4);
    return offset + 64 <= pipe.size() ? pipe[offset + i] : 0;
  };
  for (std::size_t j = 0; j < chunks / 3; ++j) {
    for (std::size_t i = 0; i < 64; ++i) {
      std::uint8_t* px = &frame[(64 * j + i) * 3];
      px[0] = chunkByte(3 * j + 2, i);
      px[1] = chunkByte(3 * j + 1, i);
      px[2] = chunkByte(3 * j, i);
    }
  }
  return frame;
}

struct ModeRow {
  int code, width, height;
  std::uint32_t shareHigh, shareFull;
};
inline constexpr std::array<ModeRow, 6> kModeRows = {{{0, 640, 480, 230400, 230400},
                                                      {1, 800, 600, 360000, 360000},
                                                      {2, 1024, 768, 589824, 589824},
                                                      {4, 320, 240, 57600, 57600},
                                                      {5, 400, 300, 91200, 89984},
                                                      {6, 512, 384, 147456, 147456}}};

// Queues one frame and reads all four shares.
inline std::array<std::vector<std::uint8_t>, 4> FetchFrame(Host& host, DeviceHandle control,
                                                           std::array<DeviceHandle, 4> readers, std::uint32_t share) {
  std::array<std::vector<std::uint8_t>, 4> pipes;
  if (!host.Out(control, 0xB4)) return pipes;
  for (std::uint32_t p = 0; p < 4; ++p) pipes[p] = host.ReadShare(readers[p], p, share);
  return pipes;
}

}  // namespace simtest
