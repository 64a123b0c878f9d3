#include "server/push_state_json.h"

#include <ctime>

#include "server/request_router.h"

namespace server {

std::string PublicPushTarget(std::string_view shownTarget) {
  const auto scheme = shownTarget.find("://");
  if (scheme == std::string_view::npos) return std::string(shownTarget);
  const std::size_t hostStart = scheme + 3;
  std::string_view authority = shownTarget.substr(hostStart);
  const auto pathStart = authority.find_first_of("/?");
  const bool hasPath = pathStart != std::string_view::npos && pathStart + 1 < authority.size();
  authority = authority.substr(0, pathStart);
  // Credentials ("user:pass@host") are as secret as a key.
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string shown = std::string(shownTarget.substr(0, hostStart)) + std::string(authority);
  if (hasPath) shown += "/...";
  return shown;
}

namespace {

// The screen's wording of an error may quote the target as the screen shows
// it (an RTSP path included); the network gets the public form instead.
std::string PublicError(std::string error, std::string_view shownTarget, const std::string& publicTarget) {
  if (shownTarget.empty() || shownTarget == publicTarget) return error;
  for (auto at = error.find(shownTarget); at != std::string::npos;
       at = error.find(shownTarget, at + publicTarget.size()))
    error.replace(at, shownTarget.size(), publicTarget);
  return error;
}

std::string PublicText(std::string text, const PushStatus& push) {
  return PublicError(std::move(text), push.target, PublicPushTarget(push.target));
}

}  // namespace

std::string LastErrorJson(const std::optional<platform::Failure>& failure, const PushStatus& push) {
  if (!failure) return "null";
  const std::time_t seconds = std::chrono::system_clock::to_time_t(failure->when);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char time[32];
  std::strftime(time, sizeof time, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return "{\"time\": \"" + std::string(time) + "\", \"what\": " + JsonString(PublicText(failure->what, push)) +
         ", \"why\": " + JsonString(PublicText(failure->why, push)) + "}";
}

std::string PushStateJson(const PushStatus& status) {
  if (status.phase == PushPhase::Off) return "null";
  const std::string target = PublicPushTarget(status.target);
  const std::string error =
      status.lastError.empty() ? std::string("null") : JsonString(PublicError(status.lastError, status.target, target));
  return "{\"state\": \"" + std::string(PushPhaseName(status.phase)) + "\", \"target\": " + JsonString(target) +
         ", \"error\": " + error + ", \"retry_in_seconds\": " + std::to_string(status.retryInSeconds) +
         ", \"width\": " + std::to_string(status.width) + ", \"height\": " + std::to_string(status.height) +
         ", \"frames_sent\": " + std::to_string(status.framesSent) +
         ", \"frames_dropped\": " + std::to_string(status.framesDropped) +
         ", \"reconnects\": " + std::to_string(status.reconnects) + "}";
}

}  // namespace server
