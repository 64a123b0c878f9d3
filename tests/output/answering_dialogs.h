// The user, played by a test: answers the save and print dialogs at once and
// records every question and message box.
#pragma once

#include <QPageLayout>
#include <QPrinter>

#include "output/user_dialogs.h"

class AnsweringDialogs : public IUserDialogs {
 public:
  void MessageBox(const QString& text) override { messages << text; }

  std::optional<QString> SaveFileName(const QStringList& filters, const QString& defaultSuffix) override {
    askedFilters = filters;
    askedSuffix = defaultSuffix;
    return saveAnswer;
  }

  // Prints to a PDF file, as the dialog's own print-to-file choice does.
  bool ChoosePrinter(QPrinter& printer) override {
    ++printerQuestions;
    if (pdfPath.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    printer.setPageLayout(pageLayout);
    return true;
  }
  std::optional<MovieCompression> ChooseMovieCompression() override { return std::nullopt; }

  std::optional<QString> saveAnswer;
  QString pdfPath;  // empty: the user cancels the print dialog
  QPageLayout pageLayout{QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 17, 12, 17),
                         QPageLayout::Millimeter};

  QStringList messages;
  QStringList askedFilters;
  QString askedSuffix;
  int printerQuestions = 0;
};
