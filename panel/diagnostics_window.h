// A small window that shows the panel's hidden diagnostics: the command log,
// the rate readout and the CLEAR button, mirrored from the panel's own boxes,
// and the broadcast push's state while there is one.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

class CDiagnosticsWindow : public QWidget {
  Q_OBJECT
 public:
  explicit CDiagnosticsWindow(QWidget* owner);

  // The whole log, when the window opens or the log was cleared.
  void ShowLog(const QString& log);
  // Lines added since: the log grows all day, so it is never set again in full.
  void AppendLog(const QString& tail);
  void ShowRate(const QString& rate);
  QString LogText() const;
  QString RateText() const;
  // Empty hides the broadcast line.
  void ShowBroadcast(const QString& line);
  QString BroadcastText() const;

 signals:
  void ClearRequested();

 private:
  QPlainTextEdit* m_editLog;
  QLineEdit* m_editRate;
  QLabel* m_labelBroadcast;
  QLineEdit* m_editBroadcast;
};
