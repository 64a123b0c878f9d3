// The main window's keys on the program's other windows (the panel, its
// diagnostics window, the web address window): a presenter's key works
// whichever of them was clicked last. The shortcuts stay window-wide, so a
// box that wants a key itself (text typed, Ctrl+C in a log) still gets it.
#pragma once

#include <QList>
#include <QObject>

class QAction;
class QWidget;

class CSharedKeys : public QObject {
  Q_OBJECT
 public:
  explicit CSharedKeys(QList<QAction*> actions, QObject* parent = nullptr);

  // Adds the keys to `window`, and to each window later opened inside it.
  void Share(QWidget& window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QList<QAction*> m_actions;
};
