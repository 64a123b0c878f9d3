// The print dialog as the application shows it: all pages, no page numbers,
// no selection; the dialog's own print-to-file choice stays available.
#pragma once

class QPrinter;
class QWidget;

// Returns true when the user chose a printer and confirmed.
bool ExecPrintDialog(QPrinter& printer, QWidget* parent);
