// Every question the application puts to the user goes through this one
// interface: the application implements it with Qt's dialogs, tests answer
// at once. Handlers call it only on the user-interface thread.
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "output/movie_compression.h"

class QPrinter;

class IUserDialogs {
 public:
  virtual ~IUserDialogs() = default;

  // A message box with an OK button only; returns when the user has closed it.
  virtual void MessageBox(const QString& text) = 0;

  // A save dialog that hides the read-only choice and confirms an overwrite.
  // `filters` are Qt name filters such as "BITMAP(*.bmp)"; `defaultSuffix`
  // (without the dot, e.g. "BMP") is appended to a name typed without one.
  // Answers the chosen full path, or nothing when the user cancels.
  virtual std::optional<QString> SaveFileName(const QStringList& filters, const QString& defaultSuffix) = 0;

  // The print dialog (all pages, no page numbers, no selection, its own
  // print-to-file choice kept) on `printer`; true when the user confirmed.
  // ExecPrintDialog (output/print_dialog.h) is the real dialog.
  virtual bool ChoosePrinter(QPrinter& printer) = 0;

  // The movie's compression options: the compressor and its quality.
  // Nothing when the user cancels.
  virtual std::optional<MovieCompression> ChooseMovieCompression() = 0;
};
