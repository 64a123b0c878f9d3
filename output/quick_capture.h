// Quick capture: the picture on screen saved at once, with no dialog, under
// a name made from the local time, never replacing a file.
#pragma once

#include <QDateTime>
#include <QString>

#include "output/still_error.h"

class CFrameBitmap;

enum class CaptureFormat { kJpeg, kBmp };

// "TAVROCAM_YYYYMMDD_HHMMSS_mmm", without the extension.
QString QuickCaptureBaseName(const QDateTime& localTime);

// The file name for the n-th try (from 1) of a base name: the base itself,
// then "_2", "_3", ... before the extension.
QString QuickCaptureFileName(const QString& baseName, CaptureFormat format, int attempt);

struct QuickCaptureResult {
  StillError error = StillError::kNone;
  QString path;  // the file written, when there is one
};

// Writes `picture` (a private copy, see TakeTurnedSnapshot) into `folder`,
// made when missing, as a JPEG at quality 75 or a BMP. A failure leaves no
// file behind, finished or not.
QuickCaptureResult WriteQuickCapture(CFrameBitmap& picture, const QString& folder, CaptureFormat format,
                                     const QDateTime& localTime);
