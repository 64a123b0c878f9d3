#include "app/qt_user_dialogs.h"

#include <memory>

#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "output/movie_options_dialog.h"
#include "output/print_dialog.h"

namespace {

constexpr char kMessageTitle[] = "TAVROCAM";
// Room for the window manager's buttons and margins beside the title.
constexpr int kTitleBarButtonsWidth = 160;

}  // namespace

void QtUserDialogs::MessageBox(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kMessageTitle), text, QMessageBox::Ok, m_parent.data());
  // A box sized for a short text would cut its own title; the box takes no
  // minimum width, but its grid keeps a spacer's.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int titleWidth = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarButtonsWidth;
    auto spacer = std::make_unique<QSpacerItem>(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding);
    grid->addItem(spacer.release(), grid->rowCount(), 0, 1, grid->columnCount());
  }
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
