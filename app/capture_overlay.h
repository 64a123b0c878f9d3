// A caption over the picture's top-left corner: the last capture's name and
// folder, "Copied", a failed capture's reason in red, and the line of a
// running capture series. It never takes the mouse or the focus, so the
// picture below behaves as without it, and no box ever stops the show.
#pragma once

#include <functional>

#include <QColor>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QTimer>

class CCaptureOverlay : public QLabel {
  Q_OBJECT
 public:
  static constexpr int kFlashMs = 2000;
  static constexpr int kFailureMs = 4000;
  static constexpr int kNoticeMs = 3000;
  // How far the caption sits inside the picture's corner.
  static constexpr int kInset = 8;

  // `pictureRect` tells where the picture is drawn in the view (it may be
  // scaled and centred between bars); the caption follows its corner.
  CCaptureOverlay(QWidget* pictureView, std::function<QRect()> pictureRect);

  // A short message (a capture's name and folder, "Copied") for kFlashMs.
  void Flash(const QString& text);
  // A failure, in red, for kFailureMs; it replaces any short message.
  void FlashFailure(const QString& text);
  // The series line, shown until cleared with an empty text.
  void SetSeriesText(const QString& text);
  // The series' last word (how many it took) for kNoticeMs.
  void Notice(const QString& text);

  // What the caption says now, one line per message; empty while hidden.
  QString ShownText() const;
  bool ShowsFailure() const { return !isHidden() && m_bFlashIsFailure && !m_flash.isEmpty(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Refresh();
  void Place();
  QStringList Lines() const;

  std::function<QRect()> m_pictureRect;
  QString m_series;
  QString m_notice;
  QString m_flash;
  bool m_bFlashIsFailure = false;
  QTimer m_flashTimer;
  QTimer m_noticeTimer;
};
