#include "broadcast/push_state.h"

#include "platform/failure_record.h"

const char* PushPhaseName(PushPhase phase) {
  switch (phase) {
    case PushPhase::Off: return "off";
    case PushPhase::Connecting: return "connecting";
    case PushPhase::Live: return "live";
    case PushPhase::Retrying: return "retrying";
    case PushPhase::Failed: return "failed";
    case PushPhase::Ended: return "ended";
  }
  return "off";
}

std::string PushStatusLine(const PushStatus& status) {
  const std::string size =
      status.width > 0 ? " " + std::to_string(status.width) + "x" + std::to_string(status.height) : std::string();
  switch (status.phase) {
    case PushPhase::Off: return {};
    case PushPhase::Connecting: return "PUSH connecting to " + status.target;
    case PushPhase::Live: return "LIVE " + status.target + size;
    case PushPhase::Retrying:
      return "PUSH retrying in " + std::to_string(status.retryInSeconds) + " s: " + status.lastError;
    case PushPhase::Failed: return "PUSH failed: " + status.lastError;
    case PushPhase::Ended: return "PUSH ended " + status.target;
  }
  return {};
}

PushStatus CPushState::Snapshot() const {
  const std::lock_guard lock(m_lock);
  return m_status;
}

void CPushState::RecordFailure(const std::string& target, const std::string& error) {
  platform::Failures().Record("broadcast push to " + target, error);
}
