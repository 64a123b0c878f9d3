#include "output/still_commands.h"

#include <QDir>
#include <QFile>
#include <QPrinter>

#include "output/still_print.h"
#include "output/still_writers.h"
#include "output/user_dialogs.h"

namespace {

std::string NativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

StillOutcome SaveFrameAs(CFrameBitmap& bitmap, IUserDialogs& dialogs) {
  const QStringList filters{QStringLiteral("BITMAP(*.bmp)"), QStringLiteral("JPEG(*.jpg)")};
  const std::optional<QString> chosen = dialogs.SaveFileName(filters, QStringLiteral("BMP"));
  if (!chosen) return {.cancelled = true};
  return {.error = SaveStill(bitmap, NativePath(*chosen))};
}

StillOutcome PrintFrame(CFrameBitmap& bitmap, const QString& startDir, IUserDialogs& dialogs) {
  const QString picturePath = QDir(startDir).filePath(QString::fromLatin1(kPrintFileName));
  if (const StillError e = SaveStill(bitmap, NativePath(picturePath)); e != StillError::kNone) return {.error = e};

  QPrinter printer(QPrinter::HighResolution);
  if (!dialogs.ChoosePrinter(printer)) return {.cancelled = true};
  return {.error = PrintPictureFile(printer, picturePath)};
}
