#include "app/camera_app.h"

#include <utility>

#include <QApplication>

CCameraApp::CCameraApp(IUserDialogs& dialogs, platform::IDriver& driver, PresenterOptions presenter)
    : m_dialogs(dialogs), m_driver(driver), m_presenter(std::move(presenter)) {}

CCameraApp::~CCameraApp() = default;

bool CCameraApp::InitInstance() {
  // The loop ends when the main window is destroyed, not when the last
  // window happens to close (the panel may close first).
  QApplication::setQuitOnLastWindowClosed(false);
  m_pMainWnd = std::make_unique<CMainFrame>(m_dialogs, m_driver);
  QObject::connect(m_pMainWnd.get(), &CMainFrame::windowDestroyed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  m_pMainWnd->SetPresenterOptions(m_presenter);
  m_pMainWnd->SetCarryOnWithoutCamera(m_bCarryOnWithoutCamera);
  if (!m_pMainWnd->Create()) return false;
  m_pMainWnd->show();
  return true;
}

int CCameraApp::Run() {
  const int code = QApplication::exec();
  // A camera that could not be opened or was lost ends the program with 1.
  return code != 0 ? code : m_pMainWnd->ExitCode();
}
