#include "panel/panel_pictures.h"

#include <algorithm>

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

namespace {

const QColor kInk(40, 42, 46);
const QColor kGreyBody(150, 154, 160);
const QColor kGreyLight(206, 209, 214);

// Every picture is drawn in a 24 x 18 design box and scaled into place.
constexpr double kDesignW = 24.0;
constexpr double kDesignH = 18.0;

void Outline(QPainter& p, double width = 1.0) {
  QPen pen(kInk, width);
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  p.setPen(pen);
}

void DrawStillCamera(QPainter& p, bool flash) {
  Outline(p);
  p.setBrush(kGreyBody);
  QPainterPath body;
  body.addRoundedRect(QRectF(2, 5, 20, 11), 2, 2);
  p.drawPath(body);
  p.drawRect(QRectF(8, 3, 7, 2.5));  // viewfinder hump
  p.setBrush(kGreyLight);
  p.drawEllipse(QPointF(12, 10.5), 4, 4);
  p.setBrush(QColor(60, 80, 110));
  p.drawEllipse(QPointF(12, 10.5), 2.2, 2.2);
  if (!flash) {
    p.setBrush(kGreyLight);
    p.drawRect(QRectF(17, 6.5, 3, 2));
    return;
  }
  // A lit flash window with a burst of rays.
  p.setBrush(QColor(255, 236, 90));
  p.drawRect(QRectF(17, 6.5, 3, 2));
  QPen ray(QColor(235, 170, 0), 1.1);
  ray.setCapStyle(Qt::RoundCap);
  p.setPen(ray);
  p.drawLine(QPointF(18.5, 5.5), QPointF(18.5, 1));
  p.drawLine(QPointF(20.5, 5.8), QPointF(23, 2));
  p.drawLine(QPointF(16.5, 5.8), QPointF(14.5, 2.3));
}

void DrawDisk(QPainter& p, bool coloured) {
  const QPointF centre(12, 9);
  if (coloured) {
    QConicalGradient rainbow(centre, 0);
    rainbow.setColorAt(0.0, QColor(255, 80, 80));
    rainbow.setColorAt(0.2, QColor(255, 220, 60));
    rainbow.setColorAt(0.4, QColor(80, 220, 100));
    rainbow.setColorAt(0.6, QColor(70, 170, 255));
    rainbow.setColorAt(0.8, QColor(190, 90, 255));
    rainbow.setColorAt(1.0, QColor(255, 80, 80));
    p.setBrush(rainbow);
  } else {
    QRadialGradient sheen(centre, 8, QPointF(9, 6));
    sheen.setColorAt(0, QColor(232, 234, 238));
    sheen.setColorAt(1, kGreyBody);
    p.setBrush(sheen);
  }
  Outline(p);
  p.drawEllipse(centre, 8, 8);
  p.setBrush(QColor(245, 245, 245));
  p.drawEllipse(centre, 2.4, 2.4);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, 0.9, 0.9);
}

void DrawPrinter(QPainter& p, bool blue) {
  const QColor body = blue ? QColor(50, 110, 220) : kGreyBody;
  Outline(p);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(7, 1.5, 10, 6));  // paper in
  p.setBrush(body);
  QPainterPath housing;
  housing.addRoundedRect(QRectF(2, 6.5, 20, 7.5), 1.5, 1.5);
  p.drawPath(housing);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(6.5, 12, 11, 5));  // paper out
  p.drawLine(QPointF(8.5, 14), QPointF(15.5, 14));
  p.setBrush(blue ? QColor(120, 255, 140) : kGreyLight);
  p.drawEllipse(QPointF(19, 9), 0.9, 0.9);
}

void DrawVideoCamera(QPainter& p) {
  Outline(p);
  p.setBrush(kGreyBody);
  QPainterPath body;
  body.addRoundedRect(QRectF(1.5, 5, 15, 10), 2, 2);
  p.drawPath(body);
  QPolygonF lens;
  lens << QPointF(16.5, 8) << QPointF(22.5, 5) << QPointF(22.5, 15) << QPointF(16.5, 12);
  p.setBrush(kGreyLight);
  p.drawPolygon(lens);
  p.setBrush(kGreyLight);
  p.drawEllipse(QPointF(5.5, 3.5), 2.5, 2.5);  // film reels
  p.drawEllipse(QPointF(11.5, 3.5), 2.5, 2.5);
  p.setBrush(QColor(220, 40, 40));
  p.drawEllipse(QPointF(4.5, 8), 1, 1);  // record lamp
}

// The two top-left choice buttons: one screen, or two screens side by side.
void DrawPair(QPainter& p, bool second) {
  Outline(p);
  p.setBrush(QColor(70, 120, 170));
  if (!second) {
    p.drawRoundedRect(QRectF(4, 3, 16, 11), 1.5, 1.5);
    p.drawLine(QPointF(9, 16.5), QPointF(15, 16.5));
    return;
  }
  p.drawRoundedRect(QRectF(1.5, 4, 10, 8), 1.2, 1.2);
  p.drawRoundedRect(QRectF(12.5, 4, 10, 8), 1.2, 1.2);
  p.drawLine(QPointF(4, 14.5), QPointF(9, 14.5));
  p.drawLine(QPointF(15, 14.5), QPointF(20, 14.5));
}

void DrawWord(QPainter& p, const QRectF& box, const QString& word, const QColor& colour) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setBold(true);
  font.setPixelSize(std::max(6, static_cast<int>(box.height() * 0.72)));
  p.setFont(font);
  p.setPen(colour);
  p.drawText(box, Qt::AlignCenter, word);
}

}  // namespace

void DrawPanelPicture(QPainter& painter, PanelPicture picture, const QRectF& box) {
  if (picture == PanelPicture::None || box.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  if (picture == PanelPicture::InternalWord || picture == PanelPicture::ExternalWord) {
    const bool external = picture == PanelPicture::ExternalWord;
    DrawWord(painter, box, external ? QStringLiteral("External") : QStringLiteral("Internal"),
             external ? QColor(255, 190, 60) : QColor(235, 238, 242));
    painter.restore();
    return;
  }
  const double scale = std::min(box.width() / kDesignW, box.height() / kDesignH);
  painter.translate(box.center().x() - kDesignW * scale / 2, box.center().y() - kDesignH * scale / 2);
  painter.scale(scale, scale);
  switch (picture) {
    case PanelPicture::PairLeft: DrawPair(painter, false); break;
    case PanelPicture::PairRight: DrawPair(painter, true); break;
    case PanelPicture::StillCamera: DrawStillCamera(painter, false); break;
    case PanelPicture::CameraWithFlash: DrawStillCamera(painter, true); break;
    case PanelPicture::GreyDisk: DrawDisk(painter, false); break;
    case PanelPicture::ColouredDisk: DrawDisk(painter, true); break;
    case PanelPicture::GreyPrinter: DrawPrinter(painter, false); break;
    case PanelPicture::BluePrinter: DrawPrinter(painter, true); break;
    case PanelPicture::VideoCamera: DrawVideoCamera(painter); break;
    default: break;
  }
  painter.restore();
}
