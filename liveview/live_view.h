// The child window that fills the main window's client area and shows the
// frame bitmap one to one at its top-left corner. It never erases its
// background: what the picture does not cover keeps its old contents.
// Once the user has chosen the window's size (resized, maximised, full
// screen), a picture of another size is scaled to fit instead, aspect kept,
// centred on black.
#pragma once

#include <atomic>
#include <cstdint>

#include <QWidget>

#include "liveview/frame_bitmap.h"

class CLiveView : public QWidget {
  Q_OBJECT
 public:
  explicit CLiveView(QWidget* parent = nullptr);
  ~CLiveView() override;

  CFrameBitmap& Bitmap() { return m_bitmap; }
  const CFrameBitmap& Bitmap() const { return m_bitmap; }

  // False once the window is being destroyed; the worker stops on it.
  bool HasWindow() const { return m_bHasWindow.load() != 0; }

  // Asks for a repaint from any thread. Requests made before the previous
  // one was served fold into it, so a slow user-interface thread is never
  // flooded with repaint events.
  void InvalidateFromWorker();

  // Clockwise quarter turns (0..3) the picture is shown with; set and read
  // on the user-interface thread.
  void SetQuarterTurns(int quarterTurns);
  int QuarterTurns() const { return m_nQuarterTurns; }
  // Scale the picture to the view when their sizes differ (the main window
  // decides: only while the window does not follow the picture's size).
  void SetFitToWindow(bool fit);
  bool FitsToWindow() const { return m_bFitToWindow; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::atomic<std::int32_t> m_bHasWindow{1};
  std::atomic<bool> m_updatePending{false};
  int m_nQuarterTurns = 0;
  bool m_bFitToWindow = false;
  CFrameBitmap m_bitmap;
};
