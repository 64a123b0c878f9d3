#include "sim/camera_model.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Command codes the camera knows.
constexpr std::uint8_t kLens = 0x0F;
constexpr std::uint8_t kMonitorOut = 0x20;
constexpr std::uint8_t kPicture1103 = 0x21;
constexpr std::uint8_t kSaveSlot = 0x22;
constexpr std::uint8_t kRecallSlot = 0x23;
constexpr std::uint8_t kPairChoice = 0x24;
constexpr std::uint8_t kInputSelect = 0x25;
constexpr std::uint8_t kLamp = 0x26;
constexpr std::uint8_t kColor = 0x30;
constexpr std::uint8_t kNegative = 0x31;
constexpr std::uint8_t kEmboss = 0x32;
constexpr std::uint8_t kBright = 0x33;
constexpr std::uint8_t kSharp = 0x34;
constexpr std::uint8_t kEdge = 0x35;
constexpr std::uint8_t kMirror = 0x36;
constexpr std::uint8_t kFlip = 0x37;
constexpr std::uint8_t kFreeze = 0x3C;
constexpr std::uint8_t kDigitalZoom = 0x3F;
constexpr std::uint8_t kAutoFocus = 0x60;
constexpr std::uint8_t kPresetSave = 0x7D;
constexpr std::uint8_t kPresetRun = 0x7E;
constexpr std::uint8_t kWhiteBalance = 0x80;
constexpr std::uint8_t kRed = 0x81;
constexpr std::uint8_t kBlue = 0x82;

// Values of the press-and-hold commands.
constexpr std::uint8_t kHoldDown = 0xF0;  // "<<"
constexpr std::uint8_t kHoldUp = 0x0E;    // ">>"
constexpr std::uint8_t kHoldStop = 0x0D;
constexpr std::uint8_t kZoomOut = 1;
constexpr std::uint8_t kZoomIn = 0;
constexpr std::uint8_t kFocusNear = 7;
constexpr std::uint8_t kFocusFar = 8;
constexpr std::uint8_t kLensStop = 0x0F;

constexpr CommandAnswer kRefused{1, 0};

std::uint8_t Flag(bool on, std::uint8_t onValue) { return on ? onValue : 0; }

// A setting in -1..1 as the byte it reads back as (0x80 the middle).
std::uint8_t SignedLevel(double v) { return static_cast<std::uint8_t>(std::lround((v + 1.0) * 127.5)); }

int Quantise(double v, double steps) { return static_cast<int>(std::lround(v * steps)); }

}  // namespace

double Ramp::Value(Clock::time_point now) const {
  if (m_direction == 0) return m_value;
  const double seconds = std::chrono::duration<double>(now - m_since).count();
  return std::clamp(m_value + m_direction * m_perSecond * std::max(0.0, seconds), m_low, m_high);
}

void Ramp::Start(int direction, Clock::time_point now) {
  m_value = Value(now);
  m_direction = direction;
  m_since = now;
}

void Ramp::Stop(Clock::time_point now) {
  m_value = Value(now);
  m_direction = 0;
}

void Ramp::Set(double value) {
  m_value = std::clamp(value, m_low, m_high);
  m_direction = 0;
}

CameraModel::CameraModel(const SimOptions& options)
    : m_options(options),
      m_highSpeed(options.highSpeed),
      // Full travel takes about three seconds for the lens and four for the
      // adjustments, so a short press moves them visibly but not to the end.
      m_zoom(1.0, 1.0, 4.0, 1.0 / options.timeScale),
      m_focus(0.0, -1.0, 1.0, 0.6 / options.timeScale),
      m_brightness(0.0, -1.0, 1.0, 0.5 / options.timeScale),
      m_sharpness(0.0, -1.0, 1.0, 0.5 / options.timeScale),
      m_red(1.0, 0.5, 1.5, 0.25 / options.timeScale),
      m_blue(1.0, 0.5, 1.5, 0.25 / options.timeScale) {
  Reset();
}

const std::array<CameraModel::Adjustment, 6> CameraModel::kAdjustments{{
    {&CameraModel::m_zoom, &CameraSettings::zoom},
    {&CameraModel::m_focus, &CameraSettings::focus},
    {&CameraModel::m_brightness, &CameraSettings::brightness},
    {&CameraModel::m_sharpness, &CameraSettings::sharpness},
    {&CameraModel::m_red, &CameraSettings::redGain},
    {&CameraModel::m_blue, &CameraSettings::blueGain},
}};

void CameraModel::Reset() {
  // The snapshot's own defaults are the camera's power-up state.
  const CameraSettings defaults;
  m_settings = defaults;
  m_settings.mode = m_options.startMode >= 0 ? m_options.startMode : (m_highSpeed ? 2 : 6);
  m_settings.monitorOut = MonitorOutForMode(m_settings.mode);
  SetAdjustments(defaults);
  m_presets.fill(defaults);
  m_documentPlace = 0;
  m_frameNumber = 0;
  m_lastFrame.reset();
  m_held.reset();
  for (auto& slot : m_slots) slot.reset();
}

void CameraModel::SetAdjustments(const CameraSettings& from) {
  for (const Adjustment& a : kAdjustments) (this->*a.ramp).Set(from.*a.field);
}

RenderKey CameraModel::CurrentKey(Clock::time_point now) const {
  const CameraSettings s = Settings(now);
  RenderKey key;
  key.mode = s.mode;
  key.externalInput = s.externalInput;
  key.lamp = s.lamp;
  key.zoomQ = Quantise(s.zoom * (s.digitalZoom ? 2.0 : 1.0), 256);
  const int width = GeometryForMode(s.mode) ? GeometryForMode(s.mode)->width : 640;
  key.blurRadius = Quantise(std::abs(s.focus) * width / 128.0, 1);
  key.sharpQ = Quantise(s.sharpness, 64);
  key.emboss = s.emboss;
  key.edge = s.edge;
  key.colour.redGainQ = s.autoWhiteBalance ? 64 : Quantise(s.redGain, 64);
  key.colour.blueGainQ = s.autoWhiteBalance ? 64 : Quantise(s.blueGain, 64);
  key.colour.brightQ = Quantise(s.brightness, 64);
  key.colour.lamp = s.lamp;
  key.colour.color = s.color;
  key.colour.negative = s.negative;
  key.documentPlace = m_options.documentScene ? m_documentPlace : -1;
  return key;
}

FrameSpec CameraModel::NextFrame(Clock::time_point now) {
  FrameSpec next;
  if (m_held) {
    next = *m_held;
    next.key.mode = m_settings.mode;  // a held picture is shown at the current size
  } else {
    next.key = CurrentKey(now);
    next.number = ++m_frameNumber;
  }
  m_lastFrame = next;
  return next;
}

CommandAnswer CameraModel::Hold(Ramp& ramp, std::uint8_t value, Clock::time_point now) {
  switch (value) {
    case kHoldDown: ramp.Start(-1, now); break;
    case kHoldUp: ramp.Start(+1, now); break;
    case kHoldStop: ramp.Stop(now); break;
    default: return kRefused;
  }
  return {0, value};
}

CommandAnswer CameraModel::Lens(std::uint8_t value, Clock::time_point now) {
  switch (value) {
    case kZoomOut: m_zoom.Start(-1, now); break;
    case kZoomIn: m_zoom.Start(+1, now); break;
    case kFocusNear: m_focus.Start(-1, now); break;
    case kFocusFar: m_focus.Start(+1, now); break;
    case kLensStop:
      m_zoom.Stop(now);
      m_focus.Stop(now);
      break;
    default: return kRefused;
  }
  return {0, value};
}

CommandAnswer CameraModel::MonitorOut(std::uint8_t value) {
  const auto mode = ModeForMonitorOut(value, m_highSpeed);
  if (!mode) return kRefused;
  m_settings.mode = *mode;
  m_settings.monitorOut = value;
  // A new output resolution starts from a plain picture: colour on, every
  // effect and the orientation off, and no held picture.
  m_settings.color = true;
  m_settings.negative = m_settings.emboss = m_settings.edge = false;
  m_settings.mirror = m_settings.flip = false;
  m_held.reset();
  return {0, value};
}

CommandAnswer CameraModel::Apply(std::uint8_t code, std::uint8_t value, Clock::time_point now) {
  const CommandAnswer done{0, value};
  auto onOff = [&](bool& flag) -> CommandAnswer {
    if (value > 1) return kRefused;
    flag = value == 1;
    return done;
  };
  switch (code) {
    case kLens: return Lens(value, now);
    case kMonitorOut: return MonitorOut(value);
    case kPicture1103: m_settings.lastPicture1103 = value; return done;
    case kSaveSlot:
      if (value < 1 || value > 16) return kRefused;
      m_slots[value - 1] = m_held ? *m_held : (m_lastFrame ? *m_lastFrame : FrameSpec{CurrentKey(now), m_frameNumber});
      return done;
    case kRecallSlot:
      if (value < 1 || value > 16 || !m_slots[value - 1]) return kRefused;
      m_held = m_slots[value - 1];
      return done;
    case kPairChoice:
      if (value > 1) return kRefused;
      m_settings.pairChoice = value;
      return done;
    case kInputSelect: return onOff(m_settings.externalInput);
    case kLamp: m_settings.lamp = !m_settings.lamp; return done;  // the lamp button toggles
    case kColor: return onOff(m_settings.color);
    case kNegative: return onOff(m_settings.negative);
    case kEmboss: return onOff(m_settings.emboss);
    case kEdge: return onOff(m_settings.edge);
    case kMirror: return onOff(m_settings.mirror);
    case kFlip: return onOff(m_settings.flip);
    case kDigitalZoom: return onOff(m_settings.digitalZoom);
    case kBright: return Hold(m_brightness, value, now);
    case kSharp: return Hold(m_sharpness, value, now);
    case kRed: return Hold(m_red, value, now);
    case kBlue: return Hold(m_blue, value, now);
    case kFreeze:
      if (value > 1) return kRefused;
      if (value == 0) {
        m_held.reset();
      } else if (!m_held) {
        m_held = m_lastFrame ? *m_lastFrame : FrameSpec{CurrentKey(now), m_frameNumber};
      }
      return done;
    case kAutoFocus: m_focus.Set(0.0); return done;
    case kPresetSave:
      if (value > 3) return kRefused;
      m_presets[value] = Settings(now);
      return done;
    case kPresetRun:
      if (value > 3) return kRefused;
      SetAdjustments(m_presets[value]);
      if (m_options.documentScene) m_documentPlace = value + 1;
      return done;
    case kWhiteBalance:
      if (value > 1) return kRefused;
      m_settings.autoWhiteBalance = value == 0;
      return done;
    default: return kRefused;
  }
}

CommandAnswer CameraModel::ReadBack(std::uint8_t code, Clock::time_point now) const {
  auto answer = [](int v) { return CommandAnswer{0, static_cast<std::uint8_t>(v)}; };
  switch (code) {
    case kLens: return answer(std::lround((m_zoom.Value(now) - 1.0) / 3.0 * 255.0));
    case kMonitorOut: return answer(m_settings.monitorOut);
    case kPicture1103: return answer(m_settings.lastPicture1103);
    case kPairChoice: return answer(m_settings.pairChoice);
    case kInputSelect: return answer(m_settings.externalInput ? 1 : 0);
    case kLamp: return answer(m_settings.lamp ? 1 : 0);
    case kColor: return answer(Flag(m_settings.color, 0x80));
    case kNegative: return answer(Flag(m_settings.negative, 0x20));
    case kEmboss: return answer(Flag(m_settings.emboss, 0x40));
    case kEdge: return answer(Flag(m_settings.edge, 0x10));
    case kMirror: return answer(Flag(m_settings.mirror, 4));
    case kFlip: return answer(Flag(m_settings.flip, 8));
    case kFreeze: return answer(m_held ? 1 : 0);
    case kDigitalZoom: return answer(m_settings.digitalZoom ? 1 : 0);
    case kWhiteBalance: return answer(m_settings.autoWhiteBalance ? 0 : 1);
    case kBright: return answer(SignedLevel(m_brightness.Value(now)));
    case kSharp: return answer(SignedLevel(m_sharpness.Value(now)));
    case kRed: return answer(std::lround((m_red.Value(now) - 0.5) * 255.0));
    case kBlue: return answer(std::lround((m_blue.Value(now) - 0.5) * 255.0));
    case kAutoFocus:
    case kSaveSlot:
    case kRecallSlot:
    case kPresetSave:
    case kPresetRun: return answer(0);
    default: return kRefused;
  }
}

CameraSettings CameraModel::Settings(Clock::time_point now) const {
  CameraSettings s = m_settings;
  s.frozen = m_held.has_value();
  for (const Adjustment& a : kAdjustments) s.*a.field = (this->*a.ramp).Value(now);
  s.frameNumber = m_frameNumber;
  return s;
}

}  // namespace sim
