// What the REMOCON panel needs of its parent, the main window: the custom
// messages (a blocking send, run by the main window's handler on the
// user-interface thread), the camera link, and the live-view flags.
#pragma once

#include <atomic>
#include <cstdint>

class CUsbCamera;
class IUserDialogs;

class IRemoconHost {
 public:
  virtual ~IRemoconHost() = default;
  // Runs the main window's handler for one of the WM_CAM_* messages and returns its result.
  virtual long SendCamMessage(unsigned message) = 0;
  virtual CUsbCamera& Camera() = 0;
  virtual std::atomic<std::int32_t>& LiveRunning() = 0;  // m_bLiveRunning
  virtual std::atomic<std::int32_t>& DeviceOk() = 0;     // m_bDeviceOk
  virtual std::atomic<std::int32_t>& FrameCount() = 0;   // m_nFrameCount
  // The message boxes of the connection watchdog go through the application's dialogs.
  virtual IUserDialogs& Dialogs() = 0;
  // The watchdog found the camera gone or its transfers failing, live view
  // already told to stop. True when the host carries on without the camera
  // (it serves or pushes a stand-in picture); false when the panel's box and
  // the program's end follow.
  virtual bool OnCameraLost() { return false; }
};
