#include "app/shared_keys.h"

#include <QAction>
#include <QChildEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

namespace {

// A box with selected text copies it itself, editable or not (Qt leaves a
// read-only box's Ctrl+C to the window's shortcuts).
bool CopiesItsOwnSelection(const QWidget* widget) {
  if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget)) return plain->textCursor().hasSelection();
  if (const auto* rich = qobject_cast<const QTextEdit*>(widget)) return rich->textCursor().hasSelection();
  if (const auto* line = qobject_cast<const QLineEdit*>(widget)) return line->hasSelectedText();
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->hasSelectedText();
  return false;
}

}  // namespace

CSharedKeys::CSharedKeys(QList<QAction*> actions, QObject* parent) : QObject(parent), m_actions(std::move(actions)) {}

void CSharedKeys::Share(QWidget& window) {
  for (QAction* action : m_actions)
    if (!window.actions().contains(action)) window.addAction(action);
  window.removeEventFilter(this);
  window.installEventFilter(this);
  // Qt asks only the focused widget whether it wants a key before the
  // window's shortcuts take it: the boxes are watched one by one.
  for (QWidget* box : window.findChildren<QWidget*>()) {
    if (!qobject_cast<QPlainTextEdit*>(box) && !qobject_cast<QTextEdit*>(box) && !qobject_cast<QLineEdit*>(box) &&
        !qobject_cast<QLabel*>(box))
      continue;
    box->removeEventFilter(this);
    box->installEventFilter(this);
  }
}

bool CSharedKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) &&
      CopiesItsOwnSelection(qobject_cast<QWidget*>(watched))) {
    event->accept();
    return true;
  }
  // A window made inside a shared one (the panel's diagnostics) is polished
  // just before it first shows: it takes the keys then.
  if (event->type() == QEvent::ChildPolished) {
    auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child());
    if (child && child->isWindow()) Share(*child);
  }
  return QObject::eventFilter(watched, event);
}
