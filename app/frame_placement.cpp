#include "app/frame_placement.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QAction>
#include <QEvent>
#include <QTimer>

#include "app/main_frame_sizes.h"
#include "app/window_placement.h"
#include "liveview/live_view.h"
#include "panel/diagnostics_window.h"
#include "panel/remocon_dlg.h"

namespace {

// How far a window may sit from where the program put it and still count as
// not moved by the user: a window frame's width or so.
constexpr int kWindowManagerNudge = 8;

}  // namespace

CFramePlacement::CFramePlacement(QWidget& frame, CRemoconDlg& panel, CLiveView& view, std::function<bool()> frameGone)
    : m_frame(frame), m_panel(panel), m_view(view), m_frameGone(std::move(frameGone)) {
  m_frame.installEventFilter(this);
}

CFramePlacement::~CFramePlacement() = default;

void CFramePlacement::PlaceFrame(QPoint saved) {
  m_frame.setMinimumSize(kMinimumClientSize);
  m_sizedForPicture = kCreatedClientSize;
  m_frame.resize(kCreatedClientSize);
  MoveFrameTo(m_frame, VisiblePosition(saved, kCreatedOuterSize));
}

void CFramePlacement::SavePositions() {
  WriteProfilePosition(kMainWindowKeys, RestoredFramePosition(m_frame));
  WriteProfilePosition(kRemoconKeys, RestoredFramePosition(m_panel));
}

void CFramePlacement::CreateFullScreenAction() {
  m_actFullScreen = std::make_unique<QAction>(QStringLiteral("Full screen"));
  m_actFullScreen->setShortcut(QKeySequence(Qt::Key_F11));
  m_actFullScreen->setShortcutContext(Qt::WindowShortcut);
  m_actFullScreen->setCheckable(true);
  connect(m_actFullScreen.get(), &QAction::triggered, this, [this] { ToggleFullScreen(); });
  m_frame.addAction(m_actFullScreen.get());
}

void CFramePlacement::CreatePanelActions() {
  m_actHidePanel = std::make_unique<QAction>(QStringLiteral("Hide panel"));
  m_actHidePanel->setShortcut(QKeySequence(Qt::Key_H));
  m_actHidePanel->setShortcutContext(Qt::WindowShortcut);
  m_actHidePanel->setShortcutVisibleInContextMenu(true);
  m_actHidePanel->setCheckable(true);
  connect(m_actHidePanel.get(), &QAction::triggered, this, [this] { TogglePanel(); });
  m_frame.addAction(m_actHidePanel.get());

  // Only while full screen: outside it Escape keeps each window's own rule
  // (on the panel it ends the program).
  m_actLeaveFullScreen = std::make_unique<QAction>(QStringLiteral("Leave full screen"));
  m_actLeaveFullScreen->setShortcut(QKeySequence(Qt::Key_Escape));
  m_actLeaveFullScreen->setShortcutContext(Qt::WindowShortcut);
  m_actLeaveFullScreen->setEnabled(m_frame.isFullScreen());
  connect(m_actLeaveFullScreen.get(), &QAction::triggered, this, [this] {
    if (m_frame.isFullScreen()) ToggleFullScreen();
  });
  m_frame.addAction(m_actLeaveFullScreen.get());
}

void CFramePlacement::ToggleFullScreen() { m_frame.setWindowState(m_frame.windowState() ^ Qt::WindowFullScreen); }

void CFramePlacement::TogglePanel() {
  if (m_frameGone() || !m_actHidePanel) return;
  CDiagnosticsWindow* diagnostics = m_panel.Diagnostics();
  if (!m_bPanelHidden) {
    m_bDiagnosticsWasShown = diagnostics != nullptr && diagnostics->isVisible();
    if (diagnostics) diagnostics->hide();
    // Hidden, not closed: closing the panel would count as its cancel.
    m_panel.hide();
    m_bPanelHidden = true;
  } else {
    m_bPanelHidden = false;
    m_panel.show();
    if (diagnostics && m_bDiagnosticsWasShown) diagnostics->show();
    // The key came from the main window: it keeps the focus for the next one.
    m_frame.activateWindow();
  }
  m_actHidePanel->setChecked(m_bPanelHidden);
}

bool CFramePlacement::FollowsPicture() const {
  if (m_frame.windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return false;
  return m_frame.size() == m_sizedForPicture;
}

void CFramePlacement::FollowPicture(QSize picture) {
  // The user's size stays; the view scales the new picture into it.
  if (!FollowsPicture()) return;
  m_sizedForPicture = picture;
  m_frame.resize(picture);
  KeepFirstStartPanelBeside();
  WatchFirstStartFrame();
}

bool CFramePlacement::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &m_frame) return false;
  switch (event->type()) {
    case QEvent::Resize:
      m_view.setGeometry(0, 0, m_frame.width(), m_frame.height());
      UpdateViewFit();
      break;
    case QEvent::FocusIn: m_view.setFocus(); break;
    case QEvent::WindowStateChange: OnWindowStateChanged(); break;
    default: break;
  }
  return false;
}

void CFramePlacement::UpdateViewFit() { m_view.SetFitToWindow(!FollowsPicture()); }

void CFramePlacement::OnWindowStateChanged() {
  m_actFullScreen->setChecked(m_frame.isFullScreen());
  // The panel stays where it is from now on: a first-start panel following
  // a full-screen or maximised window would land on the picture, and a
  // spot worked out from such a frame would be saved as the user's.
  if (m_frame.windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) {
    m_firstStartPanelSpot.reset();
    m_firstStartPanelSpots.clear();
    if (m_pFirstStartWatch) m_pFirstStartWatch->stop();
  }
  if (m_actLeaveFullScreen) m_actLeaveFullScreen->setEnabled(m_frame.isFullScreen());
  UpdateViewFit();
}

void CFramePlacement::PlaceRemocon() {
  if (HasProfilePosition(kRemoconKeys)) {
    MoveFrameTo(m_panel, VisiblePosition(ReadProfilePosition(kRemoconKeys), m_panel.frameGeometry().size()));
    return;
  }
  const QRect mainFrame = OuterFrameRect(m_frame, kFrameAllowance);
  const QPoint spot = FirstStartPanelPosition(mainFrame, m_panel.size() + kFrameAllowance, ScreenAreaFor(mainFrame));
  MoveFrameTo(m_panel, spot);
  m_firstStartPanelSpot = spot;
  m_firstStartPanelSpots = {spot};
  m_firstStartMainSpot = m_frame.pos();
  WatchFirstStartFrame();
}

void CFramePlacement::WatchFirstStartFrame() {
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

void CFramePlacement::KeepFirstStartPanelBeside(bool settling) {
  if (!m_firstStartPanelSpot || !m_firstStartMainSpot) return;
  // Once the user has moved either window, the panel stays where it is. The
  // window system reports positions late: a panel still seen at an earlier
  // spot of ours has not been moved.
  // A window manager may also nudge a window by its frame's few pixels.
  const auto near = [](QPoint a, QPoint b) { return (a - b).manhattanLength() <= kWindowManagerNudge; };
  const bool panelStayed = std::any_of(m_firstStartPanelSpots.begin(), m_firstStartPanelSpots.end(),
                                       [&](QPoint spot) { return near(spot, m_panel.pos()); });
  if (!panelStayed || !near(m_frame.pos(), *m_firstStartMainSpot)) {
    // While frames are still settling the window manager reports passing
    // positions (a window at (-1, -20) for a moment): wait for the next look.
    if (settling) return;
    m_firstStartPanelSpot.reset();
    m_firstStartPanelSpots.clear();
    return;
  }
  const QRect mainFrame = OuterFrameRect(m_frame, kFrameAllowance);
  // A frame reported for an older, smaller size is not this size's frame.
  if (mainFrame.width() < m_frame.width() || mainFrame.height() < m_frame.height()) return;
  const QPoint spot =
      FirstStartPanelPosition(mainFrame, OuterFrameRect(m_panel, kFrameAllowance).size(), ScreenAreaFor(mainFrame));
  if (spot == *m_firstStartPanelSpot) return;
  MoveFrameTo(m_panel, spot);
  m_firstStartPanelSpot = spot;
  m_firstStartPanelSpots.append(spot);
}
