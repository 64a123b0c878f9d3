// Live view as the main window runs it: the live-view worker, its run/pause
// gate, the flags it shares with the panel, and the hand-over of its resize
// requests to the user-interface thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "app/resize_hand_over.h"
#include "liveview/live_view_thread.h"
#include "platform/event.h"
#include "platform/worker_thread.h"

class CFrameTaps;
class CLiveView;
class CUsbCamera;
class QObject;

class CLiveController final : private ILiveViewHost, private ILiveFrameSource {
 public:
  // `resize` sizes the window for the camera's mode on the thread of
  // `owner`, the user-interface thread; `quarterTurns` is read per frame.
  CLiveController(QObject& owner, CUsbCamera& camera, CLiveView& view, CFrameTaps& taps, std::function<void()> resize,
                  std::function<int()> quarterTurns);
  ~CLiveController() override;
  CLiveController(const CLiveController&) = delete;
  CLiveController& operator=(const CLiveController&) = delete;

  // The run/pause gate (m_hRunEvent): manual reset, created signalled.
  void CreateRunEvent();
  // Starts the worker on the open camera and returns once it runs: it has
  // passed the gate and asked the camera for its mode.
  void Start();
  // Clears m_bLiveRunning, releases a paused worker and returns once it has
  // ended, serving its resize request meanwhile.
  void Stop();
  // The end of the window's life: a resize asked for later is answered at once.
  void CloseHandOver() { m_resizeHandOver.Close(); }

  // The gate: open (live), closed (paused), or one more frame while closed.
  void Run() { platform::SetEvent(m_hRunEvent); }
  void Hold() { platform::ResetEvent(m_hRunEvent); }
  void StepOnce() { platform::PulseEvent(m_hRunEvent); }

  void StopLive() { m_bLiveRunning.store(false); }
  // A camera opened again after a lost one.
  void DeviceBack() { m_bDeviceOk.store(true); }
  bool WorkerAlive() const { return m_bWorkerAlive.load(); }
  bool DeviceOk() const { return m_bDeviceOk.load(); }
  int FrameCount() const { return m_nFrameCount.load(); }
  void ResetFrameCount() { m_nFrameCount.store(0); }
  void SetDisplayedMode(int mode) { m_nDisplayedMode.store(mode); }
  bool LiveRunning() const override { return m_bLiveRunning.load(); }
  int DisplayedMode() const override { return m_nDisplayedMode.load(); }

 private:
  // ILiveViewHost: what the worker asks and tells.
  platform::EventHandle RunEvent() override { return m_hRunEvent; }
  void SetWorkerAlive(bool alive) override;
  void WorkerRunning() override { platform::SetEvent(m_hWorkerRunning); }
  void AcquisitionFailed() override;
  void CountFrame() override { m_nFrameCount.fetch_add(1); }
  void SendResize() override { m_resizeHandOver.Request(); }
  ILiveFrameSource& FrameSource() override { return *this; }
  CLiveView& View() override { return m_view; }
  CFrameTaps* FrameTaps() override { return &m_taps; }
  int QuarterTurns() const override { return m_quarterTurns(); }

  // ILiveFrameSource: the camera link as the worker sees it.
  bool QueryMode() override;
  bool GrabFrame(std::uint8_t* destination) override;
  int Mode() const override;
  int Width() const override;
  int Height() const override;

  CUsbCamera& m_camera;
  CLiveView& m_view;
  CFrameTaps& m_taps;
  std::function<int()> m_quarterTurns;
  std::atomic<bool> m_bLiveRunning{false};
  std::atomic<bool> m_bWorkerAlive{false};
  std::atomic<bool> m_bDeviceOk{true};
  std::atomic<std::int32_t> m_nFrameCount{0};
  std::atomic<std::int32_t> m_nDisplayedMode{0};
  platform::EventHandle m_hRunEvent;
  // Set by the worker once it runs; the start waits for it.
  platform::EventHandle m_hWorkerRunning;
  ResizeHandOver m_resizeHandOver;
  // Last: joined before anything it uses goes.
  platform::WorkerThread m_worker;
};
