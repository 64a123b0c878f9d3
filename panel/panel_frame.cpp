#include "panel/panel_frame.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

struct AreaLabel {
  const char* text;
  QRect dlu;  // the box the label is centred in
  Qt::Alignment align;
};

// Each label sits in the free band beside or above the buttons it names.
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;
const AreaLabel kLabels[] = {
    {"Preset Save", QRect(6, 160, 58, 12), kLeft},    {"Preset Run", QRect(6, 175, 58, 12), kLeft},
    {"Save", QRect(3, 194, 30, 10), kLeft},           {"Recall", QRect(3, 230, 30, 10), kLeft},
    {"Monitor Out", QRect(34, 242, 112, 9), kCentre}, {"Input Select", QRect(30, 263, 59, 9), kCentre},
    {"Lamp", QRect(108, 263, 47, 9), kCentre},
};

}  // namespace

CPanelFrame::CPanelFrame(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents, false); }

void CPanelFrame::SetBaseUnits(const DialogBaseUnits& units) {
  m_units = units;
  update();
}

void CPanelFrame::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const auto px = [this](const QRect& dlu) { return QRectF(m_units.ToPixels(dlu)); };

  // The body of the remote control.
  QLinearGradient body(0, 0, width(), 0);
  body.setColorAt(0, QColor(30, 32, 36));
  body.setColorAt(0.5, QColor(48, 51, 57));
  body.setColorAt(1, QColor(30, 32, 36));
  p.fillRect(rect(), QColor(20, 21, 24));
  QPainterPath shell;
  shell.addRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 14, 14);
  p.fillPath(shell, body);
  p.setPen(QPen(QColor(90, 94, 102), 1.5));
  p.drawPath(shell);

  // Recessed plates: the top row, the oval of the adjust keys, the feature
  // block, the memory area and the bottom strip.
  const auto plate = [&](const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, QColor(24, 26, 30));
    p.setPen(QPen(QColor(74, 78, 86), 1));
    p.drawPath(path);
  };
  plate(px(QRect(3, 4, 151, 25)), 6);
  const QRectF oval = px(QRect(4, 36, 149, 62));
  p.setBrush(QColor(24, 26, 30));
  p.setPen(QPen(QColor(74, 78, 86), 1));
  p.drawEllipse(oval);
  plate(px(QRect(2, 105, 153, 50)), 5);
  plate(px(QRect(2, 157, 153, 85)), 5);
  plate(px(QRect(2, 244, 153, 41)), 5);

  QFont labelFont(QStringLiteral("Liberation Sans"));
  labelFont.setBold(true);
  labelFont.setPixelSize(std::max(9, m_units.cy * 3 / 4));
  p.setFont(labelFont);
  p.setPen(QColor(226, 198, 120));
  for (const AreaLabel& label : kLabels) p.drawText(px(label.dlu), label.align, QString::fromLatin1(label.text));
}
