// The main window as a desktop window: where the panel goes on a first
// start, following the picture's size until the user chooses one, and full
// screen.
#include <QAction>
#include <QEvent>

#include "app/main_frame.h"
#include "app/main_frame_sizes.h"
#include "app/window_placement.h"

void CMainFrame::CreateWindowActions() {
  m_actFullScreen = std::make_unique<QAction>(QStringLiteral("Full screen"));
  m_actFullScreen->setShortcut(QKeySequence(Qt::Key_F11));
  m_actFullScreen->setShortcutContext(Qt::WindowShortcut);
  m_actFullScreen->setCheckable(true);
  connect(m_actFullScreen.get(), &QAction::triggered, this, &CMainFrame::ToggleFullScreen);
  addAction(m_actFullScreen.get());
}

void CMainFrame::ToggleFullScreen() { setWindowState(windowState() ^ Qt::WindowFullScreen); }

bool CMainFrame::FollowsPicture() const {
  if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return false;
  return size() == m_sizedForPicture;
}

void CMainFrame::FollowPicture(QSize picture) {
  // The user's size stays; the view scales the new picture into it.
  if (!FollowsPicture()) return;
  m_sizedForPicture = picture;
  resize(picture);
  KeepFirstStartPanelBeside();
}

void CMainFrame::UpdateViewFit() { m_wndView.SetFitToWindow(!FollowsPicture()); }

void CMainFrame::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  m_actFullScreen->setChecked(isFullScreen());
  UpdateViewFit();
}

void CMainFrame::PlaceRemocon() {
  if (HasProfilePosition(kRemoconKeys)) {
    MoveFrameTo(m_wndRemocon, VisiblePosition(ReadProfilePosition(kRemoconKeys), m_wndRemocon.frameGeometry().size()));
    return;
  }
  const QRect mainFrame = OuterFrameRect(*this, kFrameAllowance);
  const QPoint spot =
      FirstStartPanelPosition(mainFrame, m_wndRemocon.size() + kFrameAllowance, ScreenAreaFor(mainFrame));
  MoveFrameTo(m_wndRemocon, spot);
  m_firstStartPanelSpot = spot;
  m_firstStartMainSpot = pos();
}

void CMainFrame::KeepFirstStartPanelBeside() {
  if (!m_firstStartPanelSpot || !m_firstStartMainSpot) return;
  // Once the user has moved either window, the panel stays where it is.
  if (m_wndRemocon.pos() != *m_firstStartPanelSpot || pos() != *m_firstStartMainSpot) {
    m_firstStartPanelSpot.reset();
    return;
  }
  const QRect mainFrame = OuterFrameRect(*this, kFrameAllowance);
  const QPoint spot = FirstStartPanelPosition(mainFrame, OuterFrameRect(m_wndRemocon, kFrameAllowance).size(),
                                              ScreenAreaFor(mainFrame));
  MoveFrameTo(m_wndRemocon, spot);
  m_firstStartPanelSpot = spot;
}
