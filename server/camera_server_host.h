// What the web server needs of the running program; the main window's side
// provides it.
#pragma once

#include <memory>

#include "broadcast/live_h264_feed.h"
#include "broadcast/push_state.h"

class CFrameTaps;
class CRemoconDlg;

namespace server {

class IScanHost;

class ICameraServerHost {
 public:
  virtual ~ICameraServerHost() = default;
  // Receivers of every picture the main window shows.
  virtual CFrameTaps& ShownFrameTaps() = 0;
  // The panel whose buttons the browser presses; used on the user-interface thread only.
  virtual CRemoconDlg& Remocon() = 0;
  // The camera's picture mode; read from any thread.
  virtual int CameraMode() const = 0;
  // Whether a movie is being recorded; user-interface thread.
  virtual bool IsRecording() const = 0;
  // The broadcast push's state (phase Off without one); read from any thread.
  virtual PushStatus BroadcastStatus() const = 0;
  // False while the program waits for a camera and shows a stand-in; any thread.
  virtual bool CameraPresent() const { return true; }
  // The program's one H.264 encoder, shared with the broadcast push, started
  // and fed by the host; null when the server is to run one of its own.
  virtual std::shared_ptr<CLiveH264Feed> SharedH264Feed() { return nullptr; }
  // The scan session the page's scan buttons drive; none: the program does
  // not scan. User-interface thread.
  virtual IScanHost* Scan() { return nullptr; }
};

}  // namespace server
