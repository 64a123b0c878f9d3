// What the REMOCON panel needs of its parent, the main window: one call per
// action the panel asks of it (each a blocking send: it has run to its end on
// the user-interface thread when it returns), the camera link, and the
// live-view state the watchdog and the rate readout look at.
#pragma once

class CUsbCamera;
class IUserDialogs;

class IRemoconHost {
 public:
  virtual ~IRemoconHost() = default;

  // Ends the program: live view stops, both positions are saved.
  virtual void Shutdown() = 0;
  // Frozen: lets exactly one more frame through, the camera's held picture.
  virtual void Step() = 0;
  // Starts or stops a movie; live view runs again after it.
  virtual void Movie() = 0;
  virtual void Resume() = 0;
  virtual void Pause() = 0;
  // The frozen picture into a file, or onto paper.
  virtual void SaveAs() = 0;
  virtual void Print() = 0;

  virtual CUsbCamera& Camera() = 0;
  // Asks the live-view worker to leave its loop (m_bLiveRunning = 0).
  virtual void StopLive() = 0;
  // False once the worker has given up after a failed acquisition (m_bDeviceOk).
  virtual bool DeviceOk() const = 0;
  // Frames fetched since the last reset (m_nFrameCount).
  virtual int FrameCount() const = 0;
  virtual void ResetFrameCount() = 0;
  // The message boxes of the connection watchdog go through the application's dialogs.
  virtual IUserDialogs& Dialogs() = 0;
  // The watchdog found the camera gone or its transfers failing, live view
  // already told to stop. True when the host carries on without the camera
  // (it serves or pushes a stand-in picture); false when the panel's box and
  // the program's end follow.
  virtual bool OnCameraLost() { return false; }
};
