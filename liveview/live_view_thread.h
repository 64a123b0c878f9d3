// The live-view worker: pulls frames from the camera as fast as the camera
// link delivers them and hands each one to the view.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/event.h"

class CFrameTaps;

class CLiveView;

// What the worker needs of the camera link.
class ILiveFrameSource {
 public:
  virtual ~ILiveFrameSource() = default;
  // On success Mode(), Width() and Height() hold the camera's current values.
  virtual bool QueryMode() = 0;
  // Writes Width() x Height() x 3 bytes, top row first, or fails.
  virtual bool GrabFrame(std::uint8_t* destination) = 0;
  virtual int Mode() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
};

// What the worker needs of the main window that starts it.
class ILiveViewHost {
 public:
  virtual ~ILiveViewHost() = default;
  // The run/pause gate: manual reset, set while live.
  virtual platform::EventHandle RunEvent() = 0;
  virtual std::atomic<std::int32_t>& LiveRunning() = 0;  // m_bLiveRunning
  virtual std::atomic<std::int32_t>& WorkerAlive() = 0;  // m_bWorkerAlive
  // Set once when the worker begins and never cleared, so that whoever
  // waits for the start also sees a worker that has already finished.
  virtual std::atomic<std::int32_t>& WorkerEntered() = 0;
  virtual std::atomic<std::int32_t>& DeviceOk() = 0;    // m_bDeviceOk
  virtual std::atomic<std::int32_t>& FrameCount() = 0;  // m_nFrameCount
  virtual int DisplayedMode() const = 0;                // m_nDisplayedMode
  // Sizes the window for the source's current mode and returns once that is
  // done (or the host has given up on it while shutting down).
  virtual void SendResize() = 0;
  virtual ILiveFrameSource& FrameSource() = 0;
  virtual CLiveView& View() = 0;
  // Receivers of each new picture, or null when nobody listens.
  virtual CFrameTaps* FrameTaps() { return nullptr; }
  // Clockwise quarter turns (0..3) of the picture as the view shows it;
  // read once per frame, from the worker's thread.
  virtual int QuarterTurns() const { return 0; }
};

// The thread procedure; `param` is the ILiveViewHost. Returns 0.
std::uint32_t LiveViewThread(void* param);
