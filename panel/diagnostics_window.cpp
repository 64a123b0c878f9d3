#include "panel/diagnostics_window.h"

#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

CDiagnosticsWindow::CDiagnosticsWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool),
      m_editLog(new QPlainTextEdit(this)),
      m_editRate(new QLineEdit(this)),
      m_labelBroadcast(new QLabel(QStringLiteral("Broadcast"), this)),
      m_editBroadcast(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("REMOCON diagnostics"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Command log"), this));
  m_editLog->setReadOnly(true);
  m_editLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_editLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(m_editLog, 1);
  layout->addWidget(new QLabel(QStringLiteral("Frames and bytes per second"), this));
  m_editRate->setReadOnly(true);
  m_editRate->setAlignment(Qt::AlignCenter);
  layout->addWidget(m_editRate);
  m_editBroadcast->setReadOnly(true);
  layout->addWidget(m_labelBroadcast);
  layout->addWidget(m_editBroadcast);
  ShowBroadcast({});
  auto* clear = new QPushButton(QStringLiteral("CLEAR"), this);
  clear->setAutoDefault(false);
  connect(clear, &QPushButton::clicked, this, &CDiagnosticsWindow::ClearRequested);
  layout->addWidget(clear);
  resize(420, 320);
}

void CDiagnosticsWindow::ShowLog(const QString& log) {
  m_editLog->setPlainText(log);
  m_editLog->verticalScrollBar()->setValue(m_editLog->verticalScrollBar()->maximum());
}

void CDiagnosticsWindow::AppendLog(const QString& tail) {
  if (tail.isEmpty()) return;
  m_editLog->moveCursor(QTextCursor::End);
  m_editLog->insertPlainText(tail);
  m_editLog->verticalScrollBar()->setValue(m_editLog->verticalScrollBar()->maximum());
}

void CDiagnosticsWindow::ShowRate(const QString& rate) { m_editRate->setText(rate); }

QString CDiagnosticsWindow::LogText() const { return m_editLog->toPlainText(); }
QString CDiagnosticsWindow::RateText() const { return m_editRate->text(); }

void CDiagnosticsWindow::ShowBroadcast(const QString& line) {
  m_editBroadcast->setText(line);
  m_labelBroadcast->setVisible(!line.isEmpty());
  m_editBroadcast->setVisible(!line.isEmpty());
}

QString CDiagnosticsWindow::BroadcastText() const { return m_editBroadcast->text(); }
