#include "server/scan_remote.h"

#include <QApplication>
#include <QWidget>

#include "server/scan_host.h"

namespace server {

CScanRemote::CScanRemote(ICameraServerHost& host) : m_host(host), m_calls(*this) {}

CScanRemote::~CScanRemote() { m_calls.Stop(); }

std::optional<ScanStatus> CScanRemote::Status() {
  return m_calls.Run<ScanStatus>(
      [this] {
        IScanHost* scan = m_host.Scan();
        return scan ? scan->Status() : ScanStatus{};
      },
      kUiTimeout);
}

ScanOutcome CScanRemote::Run(ScanAction action) {
  auto outcome = m_calls.Run<ScanOutcome>([=, this] { return RunHere(action); }, kUiTimeout);
  if (!outcome) return {ScanOutcome::Kind::Busy, "the desktop did not answer in time", {}};
  return *outcome;
}

ScanOutcome CScanRemote::RunHere(ScanAction action) {
  using Kind = ScanOutcome::Kind;
  if (m_bShutDown) return {Kind::Stopping, "the program is ending", {}};
  // The desktop's keys do nothing while a modal dialog is open; neither do these.
  if (QApplication::activeModalWidget() != nullptr) return {Kind::Busy, "a dialog is open on the desktop", {}};
  IScanHost* scan = m_host.Scan();
  if (!scan) return {Kind::Unavailable, "this program does not scan pages", {}};
  ScanStatus status = scan->Status();
  // Pages taken or removed now would change a document that is being written.
  if (status.finishing && action != ScanAction::Finish)
    return {Kind::Refused, "the document is being finished", std::move(status)};
  switch (action) {
    case ScanAction::AddPage:
      if (std::string why = scan->AddPage(); !why.empty()) return {Kind::Refused, std::move(why), scan->Status()};
      return {Kind::Done, {}, scan->Status()};
    case ScanAction::UndoPage:
      if (!scan->RemoveLastPage()) return {Kind::Refused, "there is no page to remove", std::move(status)};
      return {Kind::Done, {}, scan->Status()};
    case ScanAction::Finish:
      if (status.pageStates.empty()) return {Kind::Refused, "no pages to write", std::move(status)};
      if (!status.finishing) {
        // Once every page is read the document is written on this thread,
        // which may take a while: after this call has answered.
        QMetaObject::invokeMethod(
            this,
            [this] {
              if (IScanHost* later = m_bShutDown ? nullptr : m_host.Scan()) later->Finish();
            },
            Qt::QueuedConnection);
        status.finishing = true;
        status.finishError.clear();
      }
      return {Kind::Started, {}, std::move(status)};
  }
  return {Kind::Refused, "unknown action", std::move(status)};
}

void CScanRemote::Shutdown() {
  m_bShutDown = true;
  m_calls.Stop();
}

}  // namespace server
