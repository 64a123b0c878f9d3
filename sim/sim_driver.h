// The simulated TQ400: a camera (or several) behind the driver interface,
// answering the same vendor requests and delivering the same bulk-pipe bytes as
// the real device, so the camera link cannot tell it from hardware. Tests reach
// each camera for fault injection and for the state and picture it holds.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/driver.h"

namespace sim {

struct SimOptions {
  int cameraCount = 1;     // attached as "\\.\EZUSB-0" .. "\\.\EZUSB-<count-1>"
  std::uint32_t seed = 1;  // the test page's text and the moving element's start follow it
  // Picture-size mode code reported by request 0xB0 after power-up (0..6, 3
  // included, for tests of a host that must refuse it); -1 picks XGA for the
  // connection speed (2 at high speed, 6 at full speed).
  int startMode = -1;
  bool highSpeed = true;  // USB 2.0 high speed; false: full speed
  // Deliver picture data at the bus's rate (about 40 MB/s at high speed,
  // 1 MB/s at full speed) instead of at once.
  bool paced = false;
  // Multiplies the camera's own durations: the bulk-read time-out, the pacing
  // and the ramps of the press-and-hold adjustments. Tests use small values.
  double timeScale = 1.0;
  // The document scene (a page of prose on a desk, see document_scene.h)
  // instead of the test page; Preset Run 1 to 4 then move the page.
  bool documentScene = false;
};

// How the next reply goes wrong. Status1 and Status2 mean the camera refused
// the command (it is not carried out); the others garble a reply to a command
// that was carried out.
enum class ReplyFault {
  NoReply,  // nothing to read back
  Status1,  // failure status
  Status2,  // "send the same frame again"
  BadChecksum,
  WrongStart,  // first byte not 0x55
  WrongEnd,    // last byte not 0x5A
  Short,       // 4 bytes, ending in 0x5A
  Overlong,    // 30 bytes and no end byte
};

// A picture as the host receives it: rows top-down, 3 bytes a pixel in the
// order blue, green, red, no padding.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;
};

// The camera's settings as its commands left them.
struct CameraSettings {
  int mode = 0;        // picture-size mode code (request 0xB0)
  int monitorOut = 0;  // 0 XGA, 1 VGA, 2 SVGA
  bool frozen = false;
  bool color = true;
  bool negative = false;
  bool emboss = false;
  bool edge = false;
  bool mirror = false;  // remembered for read-back; the host orients the frame
  bool flip = false;
  bool digitalZoom = false;
  bool autoWhiteBalance = true;
  int pairChoice = 0;  // command 0x24
  bool externalInput = false;
  bool lamp = false;
  int lastPicture1103 = 0;  // command 0x21
  double zoom = 1.0;        // optical magnification, 1..4
  double focus = 0.0;       // 0 is sharp; blur grows with the distance from 0
  double brightness = 0.0;  // -1..1
  double sharpness = 0.0;   // -1..1
  double redGain = 1.0;     // manual white balance gains, 0.5..1.5
  double blueGain = 1.0;
  std::uint64_t frameNumber = 0;  // frames queued since power-up (holds while frozen)
};

class SimCamera {
 public:
  virtual ~SimCamera() = default;

  // --- unplugging: opens fail, and every call on an old handle fails, pending
  // ones at once. Plugging in again powers the camera up with its defaults.
  virtual void Unplug() = 0;
  virtual void Plug() = 0;
  virtual bool IsPlugged() const = 0;

  // --- picture transfer faults
  // The pipe (0..3) sends nothing for `duration` from now.
  virtual void StallPipe(int pipe, std::chrono::milliseconds duration) = 0;
  // The pipe sends nothing until the host's recovery request 0xB5.
  virtual void StallPipeUntilRecovery(int pipe) = 0;
  // The pipe never sends again (until unplugged and plugged).
  virtual void StallPipeForever(int pipe) = 0;
  // The next `count` bulk reads on the pipe fail (pipe -1: on any pipe).
  virtual void FailBulkReads(int pipe, int count) = 0;
  // The next `count` vendor requests with this code fail.
  virtual void FailVendorRequests(std::uint8_t requestCode, int count) = 0;

  // --- command reply faults, each for the next `count` command frames
  virtual void InjectReplyFault(ReplyFault fault, int count = 1) = 0;
  // Each request 0xBD hands out at most this many bytes of a reply (0: as much
  // as fits).
  virtual void SetReplyPieceSize(std::size_t bytes) = 0;

  // Removes every injected fault and stall.
  virtual void ClearFaults() = 0;

  // --- inspection
  virtual CameraSettings Settings() const = 0;
  // The picture of the frame last queued on the pipes (empty before the first).
  virtual Picture LastFramePicture() const = 0;
  // Command frames received with request 0xBC, oldest first.
  virtual std::vector<std::vector<std::uint8_t>> ReceivedCommands() const = 0;
  // How many vendor requests with this code arrived (failed ones included).
  virtual std::uint64_t VendorRequestCount(std::uint8_t requestCode) const = 0;
  // The lengths asked by the recent bulk reads on a pipe (at least the last
  // 32,768), oldest first.
  virtual std::vector<std::uint32_t> BulkReadLengths(int pipe) const = 0;
  // Forgets the received commands, request counts and bulk read lengths.
  virtual void ClearRecords() = 0;
};

class SimDriver : public platform::IDriver {
 public:
  virtual int CameraCount() const = 0;
  // Camera n is device "\\.\EZUSB-n". For a number without a camera: a
  // stand-in that is never attached, so misuse shows as a missing device.
  virtual SimCamera& Camera(int index) = 0;
};

std::shared_ptr<SimDriver> CreateSimulatedDriver(const SimOptions& options = {});

}  // namespace sim
