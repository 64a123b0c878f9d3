// Prints a saved picture file on one page at a fixed scale: 0.2 mm for each
// picture pixel, its top-left corner 5 mm right of and below the corner of the
// printable area. The picture is neither fitted to the page nor centred, so a
// wide picture on a narrow page is clipped at the right.
#pragma once

#include <QRectF>
#include <QSize>
#include <QString>

#include "output/still_error.h"

class QPrinter;

inline constexpr double kPrintMillimetresPerPixel = 0.2;
inline constexpr double kPrintOffsetMillimetres = 5.0;
// The print job carries the application's title.
inline constexpr char kPrintDocumentName[] = "TAVROCAM";
inline constexpr char kPrintFileName[] = "print.bmp";

// Where a picture of `pixels` lands, in millimetres from the printable area's corner.
QRectF PrintedPictureRect(QSize pixels);

// Reads the picture file and prints it as one document of one page. A file
// that cannot be read prints nothing; a page the printer refuses aborts the
// document instead of ending it.
StillError PrintPictureFile(QPrinter& printer, const QString& picturePath);
