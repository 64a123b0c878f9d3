// The real program's dialogs: Qt's message box, file dialog and print dialog.
#pragma once

#include <QPointer>
#include <QWidget>

#include "output/user_dialogs.h"

class QtUserDialogs final : public IUserDialogs {
 public:
  // The window the dialogs are shown over; none until the main window exists.
  void SetParent(QWidget* parent) { m_parent = parent; }

  void MessageBox(const QString& text) override;
  std::optional<QString> SaveFileName(const QStringList& filters, const QString& defaultSuffix) override;
  bool ChoosePrinter(QPrinter& printer) override;
  std::optional<MovieCompression> ChooseMovieCompression() override;

 private:
  QPointer<QWidget> m_parent;
};
