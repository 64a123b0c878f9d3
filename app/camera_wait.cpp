#include "app/camera_wait.h"

#include <chrono>
#include <cstdio>
#include <span>

#include <QFont>
#include <QPainter>

#include "liveview/frame_taps.h"

CCameraWait::CCameraWait(CFrameTaps& taps, std::function<bool()> tryOpen)
    : m_taps(taps), m_tryOpen(std::move(tryOpen)) {
  m_retry.setInterval(kRetryMs);
  m_republish.setInterval(kPictureMs);
  connect(&m_retry, &QTimer::timeout, this, &CCameraWait::Retry);
  connect(&m_republish, &QTimer::timeout, this, &CCameraWait::Publish);
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
}

void CCameraWait::End() {
  m_retry.stop();
  m_republish.stop();
}

void CCameraWait::Retry() {
  if (!m_tryOpen()) return;
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
