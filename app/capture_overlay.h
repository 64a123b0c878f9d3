// A caption over the picture: the name of the last quick capture for two
// seconds, and the count of a running capture series. It never takes the
// mouse or the focus, so the picture below behaves as without it.
#pragma once

#include <QLabel>
#include <QString>
#include <QTimer>

class CCaptureOverlay : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kFlashMs = 2000;

  explicit CCaptureOverlay(QWidget* pictureView);

  // Shows `text` (a file name) for kFlashMs.
  void Flash(const QString& text);
  // The series line, shown until cleared with an empty text.
  void SetSeriesText(const QString& text);
  // What the caption says now; empty while hidden.
  QString ShownText() const;

 private:
  void Refresh();

  QString m_flash;
  QString m_series;
  QTimer m_flashTimer;
};
