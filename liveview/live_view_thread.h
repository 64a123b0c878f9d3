// The live-view worker: pulls frames from the camera as fast as the camera
// link delivers them and hands each one to the view.
#pragma once

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
  // m_bLiveRunning: the worker keeps running while it is set.
  virtual bool LiveRunning() const = 0;
  // m_bWorkerAlive: set by the worker as its first action, cleared as its last.
  virtual void SetWorkerAlive(bool alive) = 0;
  // The worker has passed the gate and asked the camera for its mode once
  // (or left before it could): whoever starts it may go on. Said once.
  virtual void WorkerRunning() = 0;
  // A frame could not be fetched: m_bLiveRunning and m_bDeviceOk are cleared.
  virtual void AcquisitionFailed() = 0;
  // m_nFrameCount goes up by one for every frame tried, fetched or not.
  virtual void CountFrame() = 0;
  virtual int DisplayedMode() const = 0;  // m_nDisplayedMode
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
