// The panel's buttons pressed from the network: each event runs on the
// user-interface thread through the same handler a desktop press runs,
// freeze rule included. A press-and-hold that its client never releases
// (gone, or silent for the hold limit) is released here, so the lens never
// keeps driving.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include <QObject>
#include <QTimer>

#include "server/camera_server_host.h"
#include "server/request_router.h"
#include "server/ui_thread_call.h"

namespace server {

class CPanelRemote : public QObject {
  Q_OBJECT
 public:
  static constexpr std::chrono::milliseconds kDefaultHoldLimit{10000};
  // How long a connection thread waits for the desktop to run an event.
  static constexpr std::chrono::milliseconds kUiTimeout{5000};

  // Made on the user-interface thread.
  CPanelRemote(ICameraServerHost& host, std::chrono::milliseconds holdLimit = kDefaultHoldLimit);
  ~CPanelRemote() override;

  // Any thread; blocks until the handler has run or kUiTimeout.
  ControlOutcome Run(ControlEvent event, int id, std::uintptr_t client);
  // The panel's part of the state ("frozen", "recording", "buttons"), as JSON
  // members without the braces; any thread.
  std::optional<std::string> PanelStateMembers();
  // A connection closed; any thread.
  void ClientClosed(std::uintptr_t client);
  // User-interface thread: refuses further events, releases waiting callers
  // and a button still held.
  void Shutdown();

  // The id of the press-and-hold button held from the network, or 0.
  int HeldId() const { return m_heldId; }

 private:
  ControlOutcome RunHere(ControlEvent event, int id, std::uintptr_t client);
  void ReleaseHold();

  ICameraServerHost& m_host;
  CUiThreadCalls m_calls;
  QTimer m_holdTimer;
  // User-interface thread only.
  int m_heldId = 0;
  std::uintptr_t m_heldBy = 0;
  bool m_bShutDown = false;
};

}  // namespace server
