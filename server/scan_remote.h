// The page's scan buttons: each runs on the user-interface thread, where the
// desktop's scan session lives, as P, Backspace and Enter do. Finishing only
// asks for the document: its pages may still be read for a while, and the
// page follows that through the status rather than holding a connection.
#pragma once

#include <chrono>
#include <optional>

#include <QObject>

#include "server/camera_server_host.h"
#include "server/scan_status.h"
#include "server/ui_thread_call.h"

namespace server {

class CScanRemote : public QObject {
  Q_OBJECT
 public:
  // How long a connection thread waits for the desktop.
  static constexpr std::chrono::milliseconds kUiTimeout{5000};

  // Made on the user-interface thread.
  explicit CScanRemote(ICameraServerHost& host);
  ~CScanRemote() override;

  // Any thread; nothing when the desktop did not answer in time.
  std::optional<ScanStatus> Status();
  // Any thread; blocks until the session has taken the action or kUiTimeout.
  ScanOutcome Run(ScanAction action);
  // User-interface thread: refuses further actions and releases waiting callers.
  void Shutdown();

 private:
  ScanOutcome RunHere(ScanAction action);

  ICameraServerHost& m_host;
  CUiThreadCalls m_calls;
  bool m_bShutDown = false;  // user-interface thread only
};

}  // namespace server
