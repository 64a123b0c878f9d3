// The presenter's pictures: quick captures (Space), a capture series (I),
// the picture onto the clipboard (Ctrl+C), turning the picture (R, Shift+R),
// and the overlay over the view that tells about them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include "app/capture_settings.h"
#include "app/interval_clock.h"
#include "liveview/frame_bitmap.h"

class CCaptureOverlay;
class CFrameTaps;
class CLiveView;
class QAction;
class QTimer;

class CCaptureController : public QObject {
 public:
  // What the controller asks of the main window.
  struct Window {
    std::function<bool()> destroyed;         // the program is ending
    std::function<bool()> outputDialogOpen;  // a save, print or movie dialog (or any modal one) is open
    std::function<bool()> recording;         // a movie's frames keep one size: no turning
    std::function<bool()> frozen;            // no new picture comes
    std::function<void(QSize)> fitPicture;   // sizes the window for a picture (not yet turned)
  };
  CCaptureController(CLiveView& view, CFrameTaps& taps, const PresenterOptions& options, Window window);
  ~CCaptureController() override;

  // The right-click menu's entries with their keys; then the overlay, a
  // child of the view, over what the view holds by then.
  void CreateActions();
  void CreateOverlay();
  // The start's turn and, with --interval, the series.
  void Start();

  // Saves the picture on screen into the capture folder; true when a file
  // was written. Does nothing while a dialog of ours is open.
  bool QuickCapture();
  void StartIntervalCapture();
  void StopIntervalCapture();
  void ToggleIntervalCapture();
  bool IntervalCaptureRunning() const { return m_bIntervalRunning; }
  int IntervalCaptureCount() const { return m_nIntervalCaptures; }
  void CopyPictureToClipboard();
  // Refused while a movie is being recorded.
  void RotateClockwise();
  void RotateCounterClockwise();
  bool SetRotationDegrees(int degrees);
  int RotationDegrees() const { return QuarterTurns() * 90; }
  // Clockwise quarter turns of everything shown and kept; any thread.
  int QuarterTurns() const { return m_nQuarterTurns.load(); }
  QSize Turned(QSize picture) const;
  QString LastCapturePath() const { return m_strLastCapture; }
  QString OverlayText() const;
  // Opens the capture folder in the desktop's file manager (made when missing).
  void OpenCaptureFolder();

  QList<QAction*> ContextMenuActions() const;
  QAction* OpenFolderAction() const { return m_actOpenFolder.get(); }
  // The frame bitmap turned as the view shows it (itself when not turned),
  // for stills, prints and movies.
  CFrameBitmap& OutputFrame();

 private:
  // Where the view draws the picture: the caption sits at its corner.
  QRect ShownPictureRect() const;
  void ShowIntervalCount();
  // True once the view holds a picture (the camera's first frame has come).
  bool PictureShown() const;
  void OnIntervalTick();
  QuickCaptureResult CaptureShownPicture();
  // While frozen no new picture comes: hands the held one, turned as now
  // shown, to the frame taps so that viewers and the push follow the turn.
  void RepublishHeldPicture();

  CLiveView& m_view;
  CFrameTaps& m_taps;
  const PresenterOptions& m_options;
  Window m_window;
  std::atomic<std::int32_t> m_nQuarterTurns{0};
  CFrameBitmap m_turnedFrame;   // stills, prints and movies of a turned picture
  CFrameBitmap m_captureFrame;  // quick captures and the clipboard
  std::unique_ptr<QTimer> m_pIntervalTimer;
  CIntervalClock m_intervalClock;
  // The slot the timer waits for; before the series' first capture, the
  // first picture (at the program's start the camera may not have sent one).
  static constexpr std::int64_t kWaitingForPicture = -1;
  static constexpr int kFirstPicturePollMs = 50;
  std::int64_t m_nIntervalSlot = kWaitingForPicture;
  double m_dIntervalSeconds = 0;
  bool m_bIntervalRunning = false;
  int m_nIntervalCaptures = 0;
  QString m_strLastCapture;
  CCaptureOverlay* m_pOverlay = nullptr;  // a child of the view
  std::unique_ptr<QAction> m_actCapture;
  std::unique_ptr<QAction> m_actInterval;
  std::unique_ptr<QAction> m_actCopy;
  std::unique_ptr<QAction> m_actRotateCw;
  std::unique_ptr<QAction> m_actRotateCcw;
  std::unique_ptr<QAction> m_actOpenFolder;
};
