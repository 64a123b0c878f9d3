#include "app/camera_wait.h"

#include <chrono>
#include <cstdio>
#include <span>

#include <QFont>
#include <QPainter>

#include "liveview/frame_taps.h"

CCameraWait::CCameraWait(CFrameTaps& taps, std::function<bool()> tryOpen, std::function<std::uint64_t()> arrivals,
                         int retryMs)
    : m_taps(taps), m_tryOpen(std::move(tryOpen)), m_arrivals(std::move(arrivals)) {
  m_retry.setInterval(retryMs);
  m_republish.setInterval(kPictureMs);
  m_arrivalCheck.setInterval(kArrivalCheckMs);
  connect(&m_retry, &QTimer::timeout, this, &CCameraWait::Retry);
  connect(&m_republish, &QTimer::timeout, this, &CCameraWait::Publish);
  connect(&m_arrivalCheck, &QTimer::timeout, this, &CCameraWait::CheckArrivals);
}

QImage CCameraWait::NoCameraPicture(QSize size) {
  if (size.width() <= 0 || size.height() <= 0) size = QSize(1024, 768);
  QImage picture(size, QImage::Format_BGR888);
  picture.fill(QColor(32, 34, 38));
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QFont font(QStringLiteral("Liberation Sans"));
  font.setBold(true);
  font.setPixelSize(qMax(12, size.height() / 8));
  painter.setFont(font);
  painter.setPen(QColor(235, 235, 235));
  const QRect upper(0, 0, size.width(), size.height() / 2 + size.height() / 16);
  painter.drawText(upper, Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("NO CAMERA"));
  font.setBold(false);
  font.setPixelSize(qMax(8, size.height() / 24));
  painter.setFont(font);
  painter.setPen(QColor(170, 170, 170));
  const QRect lower(0, upper.bottom() + size.height() / 24, size.width(), size.height() / 8);
  painter.drawText(lower, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Waiting for the camera to be connected"));
  return picture;
}

void CCameraWait::Begin(QSize pictureSize, const char* why) {
  std::fprintf(stderr, "tavrocam: %s; trying again every %d s\n", why, kRetryMs / 1000);
  std::fflush(stderr);
  m_picture = NoCameraPicture(pictureSize);
  Publish();
  m_republish.start();
  m_retry.start();
  if (m_arrivals) {
    m_seenArrivals = m_arrivals();
    m_arrivalCheck.start();
  }
}

void CCameraWait::End() {
  m_retry.stop();
  m_republish.stop();
  m_arrivalCheck.stop();
}

void CCameraWait::CheckArrivals() {
  const std::uint64_t now = m_arrivals();
  if (now == m_seenArrivals) return;
  m_seenArrivals = now;
  // A device just plugged in may still be getting its permissions; the
  // regular retry stays for that case.
  Retry();
}

void CCameraWait::Retry() {
  if (!Waiting() || !m_tryOpen()) return;
  End();
  std::fputs("tavrocam: the camera is there; live picture again\n", stderr);
  std::fflush(stderr);
}

void CCameraWait::Publish() {
  ShownFrame frame;
  frame.width = m_picture.width();
  frame.height = m_picture.height();
  frame.rowBytes = static_cast<int>(m_picture.bytesPerLine());
  frame.pixels =
      std::span<const std::uint8_t>(m_picture.constBits(), static_cast<std::size_t>(m_picture.sizeInBytes()));
  frame.captured = std::chrono::steady_clock::now();
  m_taps.Publish(frame);
}
