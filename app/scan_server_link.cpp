#include "app/scan_server_link.h"

#include "app/scan_controller.h"
#include "scan/scan_session.h"

server::ScanStatus CScanServerLink::Status() const {
  server::ScanStatus status;
  for (const scan::PageSummary& page : m_controller.Pages()) {
    status.pageStates.emplace_back(scan::PageStateName(page.state));
    if (page.state == scan::PageState::kDone || page.state == scan::PageState::kFailed) ++status.pagesRead;
  }
  status.finishing = m_controller.IsFinishing();
  status.lastDocument = m_controller.LastDocument().toStdString();
  status.finishError = m_controller.FinishError().toStdString();
  return status;
}

std::string CScanServerLink::AddPage() {
  const int before = m_controller.PageCount();
  m_controller.AddPage();
  if (m_controller.PageCount() > before) return {};
  // The controller tells the desktop why over the picture; the page hears the same.
  const std::string why = m_controller.Message().toStdString();
  return why.empty() ? std::string("no page was taken") : why;
}

bool CScanServerLink::RemoveLastPage() { return m_controller.RemoveLastPage(); }

void CScanServerLink::Finish() { m_controller.Finish(); }
