#include "app/live_controller.h"

#include <utility>

#include "camera/usb_camera.h"

CLiveController::CLiveController(QObject& owner, CUsbCamera& camera, CLiveView& view, CFrameTaps& taps,
                                 std::function<void()> resize, std::function<int()> quarterTurns)
    : m_camera(camera),
      m_view(view),
      m_taps(taps),
      m_quarterTurns(std::move(quarterTurns)),
      m_hWorkerRunning(platform::CreateEvent(/*manualReset=*/true, /*initiallySignalled=*/false)),
      m_resizeHandOver(owner, std::move(resize)) {}

CLiveController::~CLiveController() {
  Stop();
  m_resizeHandOver.Close();
  platform::CloseEvent(m_hWorkerRunning);
  platform::CloseEvent(m_hRunEvent);
}

void CLiveController::CreateRunEvent() {
  m_hRunEvent = platform::CreateEvent(/*manualReset=*/true, /*initiallySignalled=*/true);
}

void CLiveController::Start() {
  m_camera.SetHighSpeed(m_camera.QueryHighSpeed());
  platform::ResetEvent(m_hWorkerRunning);
  m_bLiveRunning.store(true);
  if (!m_worker.Start(LiveViewThread, static_cast<ILiveViewHost*>(this))) return;
  // The worker says so before it can ask for a resize, and also when it
  // ends at once, so this wait needs no serving and cannot hang.
  platform::WaitForEvent(m_hWorkerRunning, platform::kInfinite);
}

void CLiveController::Stop() {
  m_bLiveRunning.store(false);
  platform::SetEvent(m_hRunEvent);
  // The worker may be blocked in its resize request to this thread: serve
  // it from here while waiting.
  m_resizeHandOver.ServeUntil([this] { return !m_bWorkerAlive.load(); });
  m_worker.Join();
}

void CLiveController::SetWorkerAlive(bool alive) {
  m_bWorkerAlive.store(alive);
  if (!alive) m_resizeHandOver.Wake();
}

void CLiveController::AcquisitionFailed() {
  m_bLiveRunning.store(false);
  m_bDeviceOk.store(false);
}

bool CLiveController::QueryMode() { return m_camera.QueryMode(); }
bool CLiveController::GrabFrame(std::uint8_t* destination) { return m_camera.GrabFrame(destination); }
int CLiveController::Mode() const { return m_camera.Picture().mode; }
int CLiveController::Width() const { return m_camera.Picture().width; }
int CLiveController::Height() const { return m_camera.Picture().height; }
