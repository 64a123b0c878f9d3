// What the camera does with its commands: the settings, the press-and-hold
// adjustments that ramp while held, freeze, presets and memory slots, the
// values it reads back, and which picture the next frame shows.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "sim/picture_renderer.h"
#include "sim/sim_driver.h"

namespace sim {

using Clock = std::chrono::steady_clock;

// A setting that moves at a fixed rate between two limits while its button is held.
class Ramp {
 public:
  Ramp(double initial, double low, double high, double perSecond)
      : m_value(initial), m_low(low), m_high(high), m_perSecond(perSecond) {}
  double Value(Clock::time_point now) const;
  void Start(int direction, Clock::time_point now);
  void Stop(Clock::time_point now);
  void Set(double value);
  bool Moving() const { return m_direction != 0; }

 private:
  double m_value;
  double m_low;
  double m_high;
  double m_perSecond;
  int m_direction = 0;
  Clock::time_point m_since{};
};

// The camera's answer to one command: status 0 (done), 1 (refused); the value byte.
struct CommandAnswer {
  std::uint8_t status = 0;
  std::uint8_t value = 0;
};

struct FrameSpec {
  RenderKey key;
  std::uint64_t number = 0;
};

class CameraModel {
 public:
  explicit CameraModel(const SimOptions& options);

  // Power-up defaults.
  void Reset();

  // A command with a value (the 7-byte frames).
  CommandAnswer Apply(std::uint8_t code, std::uint8_t value, Clock::time_point now);
  // A read-back (the 6-byte frame).
  CommandAnswer ReadBack(std::uint8_t code, Clock::time_point now) const;

  int ModeCode() const { return m_settings.mode; }
  bool HighSpeed() const { return m_highSpeed; }
  CameraSettings Settings(Clock::time_point now) const;

  // The picture of the next frame; counts the frame unless the picture is held.
  FrameSpec NextFrame(Clock::time_point now);

 private:
  // A press-and-hold ramp and the snapshot's field that shows it.
  struct Adjustment {
    Ramp CameraModel::*ramp;
    double CameraSettings::*field;
  };
  static const std::array<Adjustment, 6> kAdjustments;

  RenderKey CurrentKey(Clock::time_point now) const;
  // Every ramp to its value in `from`, at rest.
  void SetAdjustments(const CameraSettings& from);
  CommandAnswer Hold(Ramp& ramp, std::uint8_t value, Clock::time_point now);
  CommandAnswer Lens(std::uint8_t value, Clock::time_point now);
  CommandAnswer MonitorOut(std::uint8_t value);

  const SimOptions m_options;
  const bool m_highSpeed;
  // What the commands switch; Settings() adds the freeze, the ramps' values
  // and the frame count.
  CameraSettings m_settings;
  Ramp m_zoom, m_focus, m_brightness, m_sharpness, m_red, m_blue;
  std::uint64_t m_frameNumber = 0;
  std::optional<FrameSpec> m_lastFrame;
  std::optional<FrameSpec> m_held;  // freeze or a recalled slot
  std::array<std::optional<FrameSpec>, 16> m_slots;
  std::array<CameraSettings, 4> m_presets{};  // the adjustments as saved
  int m_documentPlace = 0;                    // the document scene's page, moved by Preset Run
};

}  // namespace sim
