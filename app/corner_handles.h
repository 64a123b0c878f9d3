// Setting a page's corners by hand: the picture held still over the live
// view, four handles on it that the mouse drags, the page's edges drawn
// between them. Escape gives up; the scan controller takes the page (P or
// Enter) with the corners the handles show.
#pragma once

#include <array>
#include <opencv2/core/mat.hpp>

#include <QImage>
#include <QWidget>

#include "scan/page_corners.h"

class CCornerHandles : public QWidget {
  Q_OBJECT
 public:
  // A hidden child of the view until Start; widgets raised over it later
  // (the scan overlay's messages) stay over it.
  explicit CCornerHandles(QWidget* pictureView);

  // Holds `picture` (8-bit BGR, turned as shown) over the view with the
  // handles at `corners` (its pixels) and takes the keyboard.
  void Start(const cv::Mat& picture, const scan::PageCorners& corners);
  void Stop();
  bool Active() const { return !m_picture.empty(); }

  const cv::Mat& Picture() const { return m_picture; }
  // The corners as the handles now stand, in the held picture's pixels.
  scan::PageCorners Corners() const { return m_corners; }

 signals:
  void Cancelled();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QPointF OnScreen(const cv::Point2f& point) const;
  cv::Point2f InPicture(QPointF point) const;

  cv::Mat m_picture;
  QImage m_image;  // shares m_picture's pixels
  scan::PageCorners m_corners{};
  int m_dragged = -1;  // the handle under the mouse button, if any
};
