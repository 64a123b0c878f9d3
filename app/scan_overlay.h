// What a scan session draws over the picture: the page outline found in the
// live picture, a strip of page thumbnails along the bottom edge with the
// count and each page's state, and a line for the last result or failure.
// It never takes the mouse or the focus.
#pragma once

#include <optional>
#include <vector>

#include <QImage>
#include <QPolygonF>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

// Where `view` (the live view, or any widget) shows a picture of `picture`'s
// size: one to one at its corner unless the view scales it to fit.
QRect ScanPictureArea(const QWidget& view, QSize picture);

struct ScanThumbnail {
  QImage picture;
  QString state;
};

class CScanOverlay : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMessageMs = 4000;

  explicit CScanOverlay(QWidget* pictureView);

  // The outline in the picture's pixels (as shown, turned), and that picture's size.
  void SetOutline(const std::optional<QPolygonF>& outline, QSize picture, bool locked);
  void SetPages(std::vector<ScanThumbnail> pages);
  // A line over the picture for kMessageMs; `lasting` keeps it until replaced.
  void ShowMessage(const QString& text, bool lasting = false);
  QString Message() const { return m_message; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::optional<QPolygonF> m_outline;
  QSize m_picture;
  bool m_locked = false;
  std::vector<ScanThumbnail> m_pages;
  QString m_message;
  QTimer m_messageTimer;
};
