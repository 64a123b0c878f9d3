// The save-as and print commands of the main window, apart from the window:
// they ask the user through IUserDialogs and report what happened, and the
// window turns a failure into its message box.
#pragma once

#include <QString>

#include "output/still_error.h"

class CFrameBitmap;
class IUserDialogs;

struct StillOutcome {
  bool cancelled = false;                // the user closed the dialog
  StillError error = StillError::kNone;  // why it failed, when it did
  bool Failed() const { return error != StillError::kNone; }
};

// The save dialog ("BITMAP(*.bmp)", "JPEG(*.jpg)", default suffix "BMP"),
// then the file in the format its name asks for.
StillOutcome SaveFrameAs(CFrameBitmap& bitmap, IUserDialogs& dialogs);

// Writes the frame to "print.bmp" in `startDir`, lets the user pick a
// printer, and prints that file on one page. When the file cannot be written
// nothing is printed: an older "print.bmp" would be a stale picture.
StillOutcome PrintFrame(CFrameBitmap& bitmap, const QString& startDir, IUserDialogs& dialogs);
