#include "server/panel_remote.h"

#include <QApplication>
#include <QWidget>

#include "panel/button_table.h"
#include "panel/panel_button.h"
#include "panel/panel_layout.h"
#include "panel/remocon_dlg.h"

namespace server {

namespace {

bool OpensDesktopDialog(ButtonAction action) {
  return action == ButtonAction::SaveImage || action == ButtonAction::PrintImage || action == ButtonAction::Movie;
}

const char* DialogReason(ButtonAction action) {
  switch (action) {
    case ButtonAction::SaveImage:
      return "saving opens a dialog on the desktop; download /snapshot.jpg or /snapshot.bmp instead";
    case ButtonAction::PrintImage: return "printing opens a dialog on the desktop";
    default: return "recording a movie opens a dialog on the desktop";
  }
}

}  // namespace

CPanelRemote::CPanelRemote(ICameraServerHost& host, std::chrono::milliseconds holdLimit)
    : m_host(host), m_calls(*this) {
  m_holdTimer.setSingleShot(true);
  m_holdTimer.setInterval(holdLimit);
  connect(&m_holdTimer, &QTimer::timeout, this, &CPanelRemote::ReleaseHold);
}

CPanelRemote::~CPanelRemote() { m_calls.Stop(); }

ControlOutcome CPanelRemote::Run(ControlEvent event, int id, std::uintptr_t client) {
  using Kind = ControlOutcome::Kind;
  // The tables are constant: what an id is can be told on this thread.
  const ButtonBinding* binding = FindButtonBinding(id);
  if (!binding) return {Kind::UnknownId, "no button " + std::to_string(id)};
  if (OpensDesktopDialog(binding->action)) return {Kind::DialogButton, DialogReason(binding->action)};
  const bool hold = binding->action == ButtonAction::PressHold;
  if (event == ControlEvent::Click && hold) return {Kind::Ignored, "a press-and-hold button: send down, then up"};
  if (event != ControlEvent::Click && !hold)
    return {Kind::UnknownId, "button " + std::to_string(id) + " is not a press-and-hold button"};

  auto outcome = m_calls.Run<ControlOutcome>([=, this] { return RunHere(event, id, client); }, kUiTimeout);
  if (!outcome) return {Kind::Busy, "the desktop did not answer in time"};
  return *outcome;
}

ControlOutcome CPanelRemote::RunHere(ControlEvent event, int id, std::uintptr_t client) {
  using Kind = ControlOutcome::Kind;
  if (m_bShutDown) return {Kind::Stopping, "the program is ending"};
  // A desktop click cannot reach the panel while a modal dialog is open
  // (a save, a watchdog message); neither can a network one.
  if (QApplication::activeModalWidget() != nullptr) return {Kind::Busy, "a dialog is open on the desktop"};
  CPanelButton* button = m_host.Remocon().Button(id);
  if (!button) return {Kind::UnknownId, "no button " + std::to_string(id)};
  switch (event) {
    case ControlEvent::Click: emit button->Click(); break;
    case ControlEvent::Down:
      emit button->MouseDown(1, 0, 0, 0);
      m_heldId = id;
      m_heldBy = client;
      m_holdTimer.start();
      break;
    case ControlEvent::Up:
      m_holdTimer.stop();
      m_heldId = 0;
      m_heldBy = 0;
      emit button->MouseUp(1, 0, 0, 0);
      break;
  }
  return {Kind::Done, {}};
}

void CPanelRemote::ReleaseHold() {
  m_holdTimer.stop();
  if (m_heldId == 0) return;
  CPanelButton* button = m_host.Remocon().Button(m_heldId);
  m_heldId = 0;
  m_heldBy = 0;
  if (button) emit button->MouseUp(1, 0, 0, 0);
}

void CPanelRemote::ClientClosed(std::uintptr_t client) {
  QMetaObject::invokeMethod(
      this,
      [this, client] {
        if (m_heldId != 0 && m_heldBy == client) ReleaseHold();
      },
      Qt::QueuedConnection);
}

std::optional<std::string> CPanelRemote::PanelStateMembers() {
  return m_calls.Run<std::string>(
      [this] {
        CRemoconDlg& panel = m_host.Remocon();
        std::string json = "\"frozen\": " + std::string(panel.Frozen() ? "true" : "false") +
                           ", \"recording\": " + std::string(m_host.IsRecording() ? "true" : "false") +
                           ", \"held\": " + std::to_string(m_heldId) + ", \"buttons\": {";
        bool first = true;
        for (const PanelControl& control : PanelLayout()) {
          const CPanelButton* button = control.kind == ControlKind::Button ? panel.Button(control.id) : nullptr;
          if (!button) continue;
          json += first ? "\"" : ", \"";
          json += std::to_string(control.id) + "\": " + (button->IsRaised() ? "\"raised\"" : "\"latched\"");
          first = false;
        }
        json += "}";
        return json;
      },
      kUiTimeout);
}

void CPanelRemote::Shutdown() {
  m_bShutDown = true;
  m_calls.Stop();
  ReleaseHold();
}

}  // namespace server
