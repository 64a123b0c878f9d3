#include "app/camera_app.h"

#include <utility>

#include <QApplication>

CCameraApp::CCameraApp(IUserDialogs& dialogs, PresenterOptions presenter)
    : m_dialogs(dialogs), m_presenter(std::move(presenter)) {}

CCameraApp::~CCameraApp() = default;

bool CCameraApp::InitInstance() {
  // The loop ends when the main window is destroyed, not when the last
  // window happens to close (the panel may close first).
  QApplication::setQuitOnLastWindowClosed(false);
  m_pMainWnd = std::make_unique<CMainFrame>(m_dialogs);
  QObject::connect(m_pMainWnd.get(), &CMainFrame::windowDestroyed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
  m_pMainWnd->SetPresenterOptions(m_presenter);
  if (!m_pMainWnd->Create()) return false;
  m_pMainWnd->show();
  return true;
}

int CCameraApp::Run() { return QApplication::exec(); }
