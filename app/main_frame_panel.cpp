// The panel in a presenter's show: H hides it (with its diagnostics window)
// and brings it back where it was; Escape leaves full screen from any of the
// program's windows; the main window's keys work from the panel too; and the
// web server's address, with a QR code, for the phones in the room.
#include <QAction>
#include <QMenu>

#include "app/main_frame.h"
#include "app/scan_controller.h"
#include "app/shared_keys.h"
#include "app/web_address.h"
#include "app/web_address_window.h"
#include "panel/diagnostics_window.h"

void CMainFrame::CreatePanelActions() {
  m_actHidePanel = std::make_unique<QAction>(QStringLiteral("Hide panel"));
  m_actHidePanel->setShortcut(QKeySequence(Qt::Key_H));
  m_actHidePanel->setShortcutContext(Qt::WindowShortcut);
  m_actHidePanel->setShortcutVisibleInContextMenu(true);
  m_actHidePanel->setCheckable(true);
  connect(m_actHidePanel.get(), &QAction::triggered, this, &CMainFrame::TogglePanel);
  addAction(m_actHidePanel.get());

  // Only while full screen: outside it Escape keeps each window's own rule
  // (on the panel it ends the program).
  m_actLeaveFullScreen = std::make_unique<QAction>(QStringLiteral("Leave full screen"));
  m_actLeaveFullScreen->setShortcut(QKeySequence(Qt::Key_Escape));
  m_actLeaveFullScreen->setShortcutContext(Qt::WindowShortcut);
  m_actLeaveFullScreen->setEnabled(isFullScreen());
  connect(m_actLeaveFullScreen.get(), &QAction::triggered, this, [this] {
    if (isFullScreen()) ToggleFullScreen();
  });
  addAction(m_actLeaveFullScreen.get());

  m_actWebAddress = std::make_unique<QAction>(QStringLiteral("Show web address\u2026"));
  connect(m_actWebAddress.get(), &QAction::triggered, this, &CMainFrame::ShowWebAddress);

  m_pSharedKeys = std::make_unique<CSharedKeys>(
      QList<QAction*>{m_actCapture.get(), m_actInterval.get(), m_actCopy.get(), m_actRotateCw.get(),
                      m_actRotateCcw.get(), m_actFullScreen.get(), m_actLeaveFullScreen.get(), m_actHidePanel.get()});
  m_pSharedKeys->Share(m_wndRemocon);

  // The windows go with the main window, not only when it is deleted.
  connect(this, &CMainFrame::windowDestroyed, this, [this] {
    if (m_pWebAddress) m_pWebAddress->hide();
  });
}

void CMainFrame::FillContextMenu(QMenu& menu) const {
  menu.addActions(ContextMenuActions());
  AddFullScreenEntry(menu);
  if (m_actHidePanel) menu.addAction(m_actHidePanel.get());
  menu.addSeparator();
  if (m_actOpenFolder) menu.addAction(m_actOpenFolder.get());
  if (m_actWebAddress && !m_strWebAddress.isEmpty()) menu.addAction(m_actWebAddress.get());
  if (m_pScan) {
    menu.addSeparator();
    menu.addActions(m_pScan->Actions());
  }
}

void CMainFrame::OnFullScreenChanged() {
  if (m_actLeaveFullScreen) m_actLeaveFullScreen->setEnabled(isFullScreen());
}

void CMainFrame::TogglePanel() {
  if (m_bDestroyed || !m_actHidePanel) return;
  CDiagnosticsWindow* diagnostics = m_wndRemocon.Diagnostics();
  if (!m_bPanelHidden) {
    m_bDiagnosticsWasShown = diagnostics != nullptr && diagnostics->isVisible();
    if (diagnostics) diagnostics->hide();
    // Hidden, not closed: closing the panel would count as its cancel.
    m_wndRemocon.hide();
    m_bPanelHidden = true;
  } else {
    m_bPanelHidden = false;
    m_wndRemocon.show();
    if (diagnostics && m_bDiagnosticsWasShown) diagnostics->show();
    // The key came from the main window: it keeps the focus for the next one.
    activateWindow();
  }
  m_actHidePanel->setChecked(m_bPanelHidden);
}

void CMainFrame::SetWebAddress(const QString& url) { m_strWebAddress = url; }

void CMainFrame::ShowWebAddress() {
  if (m_bDestroyed || m_strWebAddress.isEmpty()) return;
  // Looked up as the window opens: the machine may have joined the room's
  // network since the start.
  const QString address = ReachableWebAddress(m_strWebAddress, LocalAddresses());
  if (!m_pWebAddress || m_pWebAddress->Address() != address) {
    m_pWebAddress = std::make_unique<CWebAddressWindow>(address, this);
    m_pSharedKeys->Share(*m_pWebAddress);
  }
  m_pWebAddress->show();
  m_pWebAddress->raise();
  m_pWebAddress->activateWindow();
}
