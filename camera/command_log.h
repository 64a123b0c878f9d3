// Where the command transport hands every frame it sends and every reply it
// collects. The REMOCON panel implements it with its hex log; tests read it.
#pragma once

#include <cstdint>
#include <span>

class ICommandLogSink {
 public:
  virtual ~ICommandLogSink() = default;
  virtual void AppendHexLog(std::span<const std::uint8_t> bytes) = 0;
};
