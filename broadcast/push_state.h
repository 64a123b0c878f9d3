// What the push is doing, readable from any thread: the overlay, the
// diagnostics window and the web server's state query all read it here.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

enum class PushPhase {
  Off,         // no push asked for
  Connecting,  // opening the server or the file
  Live,        // frames are going out
  Retrying,    // the connection was lost or refused for now; waiting to try again
  Failed,      // the URL can never work; the push has given up
  Ended,       // stopped at exit, trailer written
};

struct PushStatus {
  PushPhase phase = PushPhase::Off;
  std::string target;      // the URL as shown (no stream key)
  std::string lastError;   // the latest failure, kept while retrying
  int retryInSeconds = 0;  // the back-off before the next attempt
  int width = 0;           // the picture being encoded
  int height = 0;
  std::uint64_t framesSent = 0;     // encoded pictures handed to the server, this run
  std::uint64_t framesDropped = 0;  // pictures the queue let go because the push was behind
  int reconnects = 0;
};

// "off", "connecting", "live", "retrying", "failed", "ended".
const char* PushPhaseName(PushPhase phase);

// One line for the screen, e.g. "LIVE rtmp://host/live/... 1024x768" or
// "RETRYING in 4 s: Connection refused".
std::string PushStatusLine(const PushStatus& status);

class CPushState {
 public:
  PushStatus Snapshot() const;
  // Applies `change` to the status under the lock; a new error is kept for
  // support too (platform/failure_record.h).
  template <typename Change>
  void Update(Change&& change) {
    std::string newError;
    std::string target;
    {
      const std::lock_guard lock(m_lock);
      const std::string before = m_status.lastError;
      change(m_status);
      if (m_status.lastError != before && !m_status.lastError.empty()) {
        newError = m_status.lastError;
        target = m_status.target;
      }
    }
    if (!newError.empty()) RecordFailure(target, newError);
  }

 private:
  static void RecordFailure(const std::string& target, const std::string& error);
  mutable std::mutex m_lock;
  PushStatus m_status;
};
