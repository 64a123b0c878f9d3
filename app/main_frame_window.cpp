// The main window as a desktop window: where the panel goes on a first
// start, following the picture's size until the user chooses one, and full
// screen.
#include <memory>

#include <QAction>
#include <QEvent>
#include <QTimer>

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
  m_firstStartPanelSpots = {spot};
  m_firstStartMainSpot = pos();
  // The spot was worked out from a guessed frame; the window manager's real
  // one arrives a little later, and the panel moves up to it then.
  static constexpr int kPollMs = 50;
  static constexpr int kWatchPolls = 3000 / kPollMs;
  auto* watch = new QTimer(this);
  auto polls = std::make_shared<int>(0);
  connect(watch, &QTimer::timeout, this, [this, watch, polls] {
    KeepFirstStartPanelBeside();
    if (++*polls >= kWatchPolls || !m_firstStartPanelSpot) watch->deleteLater();
  });
  watch->start(kPollMs);
}

void CMainFrame::KeepFirstStartPanelBeside() {
  if (!m_firstStartPanelSpot || !m_firstStartMainSpot) return;
  // Once the user has moved either window, the panel stays where it is. The
  // window system reports positions late: a panel still seen at an earlier
  // spot of ours has not been moved.
  if (!m_firstStartPanelSpots.contains(m_wndRemocon.pos()) || pos() != *m_firstStartMainSpot) {
    m_firstStartPanelSpot.reset();
    m_firstStartPanelSpots.clear();
    return;
  }
  const QRect mainFrame = OuterFrameRect(*this, kFrameAllowance);
  // A frame reported for an older, smaller size is not this size's frame.
  if (mainFrame.width() < width() || mainFrame.height() < height()) return;
  const QPoint spot = FirstStartPanelPosition(mainFrame, OuterFrameRect(m_wndRemocon, kFrameAllowance).size(),
                                              ScreenAreaFor(mainFrame));
  if (spot == *m_firstStartPanelSpot) return;
  MoveFrameTo(m_wndRemocon, spot);
  m_firstStartPanelSpot = spot;
  m_firstStartPanelSpots.append(spot);
}
