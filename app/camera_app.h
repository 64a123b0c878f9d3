// The application object: creates the main window, shows it and runs the
// message loop until the window is destroyed.
#pragma once

#include <memory>

#include "app/main_frame.h"

class IUserDialogs;
namespace platform {
class IDriver;
}

class CCameraApp {
 public:
  CCameraApp(IUserDialogs& dialogs, platform::IDriver& driver, PresenterOptions presenter = {});
  ~CCameraApp();
  CCameraApp(const CCameraApp&) = delete;
  CCameraApp& operator=(const CCameraApp&) = delete;

  // Before InitInstance: wait for a camera rather than end without one.
  void SetCarryOnWithoutCamera(bool carryOn) { m_bCarryOnWithoutCamera = carryOn; }
  // Creates and shows the main window; false when that failed.
  bool InitInstance();
  // The message loop; returns the program's exit code.
  int Run();

  CMainFrame* MainWindow() { return m_pMainWnd.get(); }

 private:
  IUserDialogs& m_dialogs;
  platform::IDriver& m_driver;
  PresenterOptions m_presenter;
  bool m_bCarryOnWithoutCamera = false;
  std::unique_ptr<CMainFrame> m_pMainWnd;
};
