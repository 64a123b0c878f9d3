#include "output/print_dialog.h"

#include <QPrintDialog>
#include <QPrinter>

bool ExecPrintDialog(QPrinter& printer, QWidget* parent) {
  printer.setPrintRange(QPrinter::AllPages);
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
  return dialog.exec() == QDialog::Accepted;
}
