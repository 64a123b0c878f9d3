// The desktop's scan session as the web server drives it: the page's "Add
// page", "Undo page" and "Finish PDF" and what its strip shows. The
// application's side provides it; every call is on the user-interface thread.
#pragma once

#include <string>

#include "server/scan_status.h"

namespace server {

class IScanHost {
 public:
  virtual ~IScanHost() = default;
  virtual ScanStatus Status() const = 0;
  // Takes the picture on screen as the next page, as P does. Empty on
  // success, else why no page was taken (no picture, a missing model).
  virtual std::string AddPage() = 0;
  // False when there is no page to remove.
  virtual bool RemoveLastPage() = 0;
  // Asks for the document, as Enter does: it is written once every page is read.
  virtual void Finish() = 0;
};

}  // namespace server
