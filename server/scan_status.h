// The desktop's scan session as the web sees it: what the page shows
// (pages, their states, the last document, why the last finish failed) and
// the outcome of the page's three buttons. Plain data, so the router and its
// fuzz target need neither Qt nor the scan layer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace server {

struct ScanStatus {
  // Each page's state as the desktop's strip names it ("waiting", "done", ...).
  std::vector<std::string> pageStates;
  // Pages done or failed: "Finishing: n of m pages read" counts these.
  int pagesRead = 0;
  // The document is asked for and waits for pages still being read.
  bool finishing = false;
  // The last document written, as a path on this computer; empty: none yet.
  std::string lastDocument;
  // Why the last finish wrote nothing (a refused folder, a failed page); empty after a success.
  std::string finishError;
};

enum class ScanAction { AddPage, UndoPage, Finish };

struct ScanOutcome {
  enum class Kind {
    Done,         // the page was added or removed
    Started,      // the document is being finished; the status follows its progress
    Refused,      // nothing to remove or write, no picture, the document being finished
    Unavailable,  // this program has no scan session
    Busy,         // the desktop could not run it in time, or a dialog is open there
    Stopping,     // the server is shutting down
  };
  Kind kind = Kind::Done;
  std::string reason;
  ScanStatus status;
};

// The status as JSON members without the braces:
// "pages", "states", "read", "finishing", "document" (the file's name or null)
// and "finish_error" (null after a success).
std::string ScanStatusMembers(const ScanStatus& status);

// The last component of `path`, with anything but letters, digits, '.', '-'
// and '_' replaced, fit for a Content-Disposition header.
std::string DocumentDownloadName(std::string_view path);

}  // namespace server
