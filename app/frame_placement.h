// Where the main window and the panel stand: the positions in the profile,
// a first start's panel beside the window, the window's size following the
// picture until the user chooses one, full screen, and the panel hidden (H).
// It watches the window's own events: the view fills the window and takes
// its focus, and a window-state change ends what only a first start does.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QObject>
#include <QPoint>
#include <QSize>

class CLiveView;
class CRemoconDlg;
class QAction;
class QTimer;
class QWidget;

class CFramePlacement : public QObject {
 public:
  // `frameGone`: the program is ending, the panel stays as it is.
  CFramePlacement(QWidget& frame, CRemoconDlg& panel, CLiveView& view, std::function<bool()> frameGone);
  ~CFramePlacement() override;

  // The window at the profile's position (read before the view was made),
  // sized for the first picture.
  void PlaceFrame(QPoint saved);
  // The panel at its saved position, or on a first start beside the window.
  void PlaceRemocon();
  // Both windows' restored positions into the profile.
  void SavePositions();

  // Full screen on and off (F11; Escape also leaves it). A maximised window
  // goes back to maximised.
  void ToggleFullScreen();
  // H: hides the panel with its diagnostics window, and brings both back as
  // they were; in and out of full screen.
  void TogglePanel();
  bool PanelHidden() const { return m_bPanelHidden; }
  // Full screen's entry, then Escape's and H's (these once the panel exists).
  void CreateFullScreenAction();
  void CreatePanelActions();
  QAction* FullScreenAction() const { return m_actFullScreen.get(); }
  QAction* LeaveFullScreenAction() const { return m_actLeaveFullScreen.get(); }
  QAction* HidePanelAction() const { return m_actHidePanel.get(); }

  // True while the window takes its size from the camera's picture; false
  // once the user has resized, maximised or full-screened it, when the view
  // scales the picture to fit instead.
  bool FollowsPicture() const;
  // Sizes the window for a picture unless the user has chosen its size.
  void FollowPicture(QSize picture);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateViewFit();
  void OnWindowStateChanged();
  // A panel still where a first start put it stays beside the resized window.
  // `settling`: the window manager may still be reporting passing positions,
  // so a window seen elsewhere does not yet count as moved by the user.
  void KeepFirstStartPanelBeside(bool settling = false);
  void WatchFirstStartFrame();

  QWidget& m_frame;
  CRemoconDlg& m_panel;
  CLiveView& m_view;
  std::function<bool()> m_frameGone;
  // The client size the program last gave the window for its picture.
  QSize m_sizedForPicture;
  // Where a first start put the panel and this window, while neither has moved.
  std::optional<QPoint> m_firstStartPanelSpot;
  std::optional<QPoint> m_firstStartMainSpot;
  // Every spot the panel was sent to since (the window system reports a move late).
  QList<QPoint> m_firstStartPanelSpots;
  // Polls for the window manager's real frame after each first-start move
  // or resize, for a few seconds; the frame is reported a little later.
  std::unique_ptr<QTimer> m_pFirstStartWatch;
  int m_nFirstStartPollsLeft = 0;
  std::unique_ptr<QAction> m_actFullScreen;
  std::unique_ptr<QAction> m_actLeaveFullScreen;
  std::unique_ptr<QAction> m_actHidePanel;
  bool m_bPanelHidden = false;
  bool m_bDiagnosticsWasShown = false;
};
