// A main-window action for the right-click menu with its key.
#pragma once

#include <memory>

#include <QAction>
#include <QKeySequence>
#include <QString>

inline std::unique_ptr<QAction> MakeMenuAction(const QString& text, const QKeySequence& keys) {
  auto action = std::make_unique<QAction>(text);
  action->setShortcut(keys);
  action->setShortcutContext(Qt::WindowShortcut);
  // Menus show the keys even where the desktop hides them by default.
  action->setShortcutVisibleInContextMenu(true);
  return action;
}
