// The main window as the REMOCON panel sees it: each of the panel's actions
// is one of the main window's custom messages, sent and handled at once.
#pragma once

#include "panel/remocon_host.h"

class CMainFrame;

class CRemoconLink final : public IRemoconHost {
 public:
  explicit CRemoconLink(CMainFrame& frame) : m_frame(frame) {}

  void Shutdown() override;
  void Step() override;
  void Movie() override;
  void Resume() override;
  void Pause() override;
  void SaveAs() override;
  void Print() override;
  CUsbCamera& Camera() override;
  void StopLive() override;
  bool DeviceOk() const override;
  int FrameCount() const override;
  void ResetFrameCount() override;
  IUserDialogs& Dialogs() override;
  bool OnCameraLost() override;

 private:
  CMainFrame& m_frame;
};
