#include "output/still_print.h"

#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPrinter>

QRectF PrintedPictureRect(QSize pixels) {
  return {kPrintOffsetMillimetres, kPrintOffsetMillimetres, pixels.width() * kPrintMillimetresPerPixel,
          pixels.height() * kPrintMillimetresPerPixel};
}

StillError PrintPictureFile(QPrinter& printer, const QString& picturePath) {
  // Read the picture before the job starts so an unreadable file costs no sheet.
  QImageReader reader(picturePath, "BMP");
  reader.setAutoTransform(false);
  const QImage picture = reader.read();
  if (picture.isNull()) return StillError::kPictureUnreadable;

  printer.setDocName(QString::fromLatin1(kPrintDocumentName));
  printer.setFromTo(0, 0);
  printer.setPrintRange(QPrinter::AllPages);
  QPainter painter;
  if (!painter.begin(&printer)) return StillError::kPrintFailed;

  // The painter's origin is the corner of the printable area; scaling by the
  // device resolution keeps millimetres exact (margins are rounded to points).
  const double pixelsPerMillimetre = printer.resolution() / 25.4;
  painter.scale(pixelsPerMillimetre, pixelsPerMillimetre);
  painter.drawImage(PrintedPictureRect(picture.size()), picture);

  if (printer.printerState() == QPrinter::Error || !painter.isActive()) {
    printer.abort();
    painter.end();
    return StillError::kPrintFailed;
  }
  if (!painter.end() || printer.printerState() == QPrinter::Error) return StillError::kPrintFailed;
  return StillError::kNone;
}
