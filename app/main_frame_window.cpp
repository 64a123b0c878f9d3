// The main window as a desktop window: where the panel goes on a first
// start, following the picture's size until the user chooses one, and full
// screen.
#include <algorithm>
#include <memory>

#include <QAction>
#include <QEvent>
#include <QTimer>

#include "app/main_frame.h"
#include "app/main_frame_sizes.h"
#include "app/window_placement.h"

namespace {

// How far a window may sit from where the program put it and still count as
// not moved by the user: a window frame's width or so.
constexpr int kWindowManagerNudge = 8;

}  // namespace

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
  WatchFirstStartFrame();
}

void CMainFrame::UpdateViewFit() { m_wndView.SetFitToWindow(!FollowsPicture()); }

void CMainFrame::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  m_actFullScreen->setChecked(isFullScreen());
  // The panel stays where it is from now on: a first-start panel following
  // a full-screen or maximised window would land on the picture, and a
  // spot worked out from such a frame would be saved as the user's.
  if (windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) {
    m_firstStartPanelSpot.reset();
    m_firstStartPanelSpots.clear();
    if (m_pFirstStartWatch) m_pFirstStartWatch->stop();
  }
  OnFullScreenChanged();
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
  WatchFirstStartFrame();
}

void CMainFrame::WatchFirstStartFrame() {
  // The spot was worked out from a guessed frame; the window manager's real
  // one arrives a little later (much later on a busy machine), and the panel
  // moves up to it then. Each resize for a picture starts the watch again.
  static constexpr int kPollMs = 50;
  static constexpr int kWatchPolls = 5000 / kPollMs;
  if (!m_firstStartPanelSpot) return;
  if (!m_pFirstStartWatch) {
    m_pFirstStartWatch = std::make_unique<QTimer>();
    connect(m_pFirstStartWatch.get(), &QTimer::timeout, this, [this] {
      KeepFirstStartPanelBeside(true);
      if (--m_nFirstStartPollsLeft <= 0 || !m_firstStartPanelSpot) m_pFirstStartWatch->stop();
    });
  }
  m_nFirstStartPollsLeft = kWatchPolls;
  m_pFirstStartWatch->start(kPollMs);
}

void CMainFrame::KeepFirstStartPanelBeside(bool settling) {
  if (!m_firstStartPanelSpot || !m_firstStartMainSpot) return;
  // Once the user has moved either window, the panel stays where it is. The
  // window system reports positions late: a panel still seen at an earlier
  // spot of ours has not been moved.
  // A window manager may also nudge a window by its frame's few pixels.
  const auto near = [](QPoint a, QPoint b) { return (a - b).manhattanLength() <= kWindowManagerNudge; };
  const bool panelStayed = std::any_of(m_firstStartPanelSpots.begin(), m_firstStartPanelSpots.end(),
                                       [&](QPoint spot) { return near(spot, m_wndRemocon.pos()); });
  if (!panelStayed || !near(pos(), *m_firstStartMainSpot)) {
    // While frames are still settling the window manager reports passing
    // positions (a window at (-1, -20) for a moment): wait for the next look.
    if (settling) return;
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
