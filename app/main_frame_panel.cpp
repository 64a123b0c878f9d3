// The main window's keys and right-click menu: the presenter's commands, the
// scan's, full screen and the panel in a show; the keys work from the
// program's other windows too.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>

#include "app/main_frame.h"
#include "app/scan_controller.h"
#include "app/shared_keys.h"

void CMainFrame::CreateActions() {
  m_capture.CreateActions();
  m_pScan = new CScanController(
      &m_wndView, [this] { return ShownScanPicture(m_wndView.Bitmap(), m_capture.QuarterTurns()); },
      ScanOptionsFor(m_presenterOptions));
  m_pScan->setParent(this);
  for (QAction* action : m_capture.ContextMenuActions()) addAction(action);
  m_placement.CreatePanelActions();

  QList<QAction*> shared = m_capture.ContextMenuActions();
  shared << m_placement.FullScreenAction() << m_placement.LeaveFullScreenAction() << m_placement.HidePanelAction();
  m_pSharedKeys = std::make_unique<CSharedKeys>(shared);
  m_pSharedKeys->Share(m_wndRemocon);
  m_outputs.CreateWebAddressAction(*m_pSharedKeys);
  // The windows go with the main window, not only when it is deleted.
  connect(this, &CMainFrame::windowDestroyed, this, [this] { m_outputs.HideWebAddress(); });

  // The scan keys work with the panel active too.
  addActions(m_pScan->Actions());
  m_wndRemocon.addActions(m_pScan->Actions());
  m_capture.CreateOverlay();
}

void CMainFrame::FillContextMenu(QMenu& menu) const {
  menu.addActions(m_capture.ContextMenuActions());
  menu.addSeparator();
  menu.addAction(m_placement.FullScreenAction());
  if (QAction* hide = m_placement.HidePanelAction()) menu.addAction(hide);
  menu.addSeparator();
  if (QAction* folder = m_capture.OpenFolderAction()) menu.addAction(folder);
  if (QAction* address = m_outputs.WebAddressAction()) menu.addAction(address);
  if (m_pScan) {
    menu.addSeparator();
    menu.addActions(m_pScan->Actions());
  }
}

void CMainFrame::contextMenuEvent(QContextMenuEvent* event) {
  if (m_bDestroyed || m_capture.ContextMenuActions().front() == nullptr) return;
  QMenu menu(this);
  FillContextMenu(menu);
  menu.exec(event->globalPos());
}
