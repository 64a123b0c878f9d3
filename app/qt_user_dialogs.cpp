#include "app/qt_user_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "output/movie_options_dialog.h"
#include "output/print_dialog.h"

namespace {

constexpr char kMessageTitle[] = "TAVROCAM";

}  // namespace

void QtUserDialogs::MessageBox(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kMessageTitle), text, QMessageBox::Ok, m_parent.data());
  box.exec();
}

std::optional<QString> QtUserDialogs::SaveFileName(const QStringList& filters, const QString& defaultSuffix) {
  QFileDialog dialog(m_parent.data());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  dialog.setDefaultSuffix(defaultSuffix);
  // Qt asks before overwriting unless told otherwise.
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.front();
}

bool QtUserDialogs::ChoosePrinter(QPrinter& printer) { return ExecPrintDialog(printer, m_parent.data()); }

std::optional<MovieCompression> QtUserDialogs::ChooseMovieCompression() { return AskMovieCompression(m_parent.data()); }
