// The broadcast push as the web server reports it in /api/state. The
// network may see the push's state but never its stream key or token.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "broadcast/push_state.h"
#include "platform/failure_record.h"

namespace server {

// A push URL as a network client may see it: scheme and host (with port),
// and "/..." when a path followed; a file's path as it is.
std::string PublicPushTarget(std::string_view shownTarget);

// `null` when no push was asked for, else an object: state, target, error
// (null when none), retry_in_seconds, width, height, frames_sent,
// frames_dropped, reconnects.
std::string PushStateJson(const PushStatus& status);

// The program's last failure as /api/state's `last_error`: `null`, or time
// (UTC, ISO 8601), what and why; a push target in it in its public form.
std::string LastErrorJson(const std::optional<platform::Failure>& failure, const PushStatus& push);

}  // namespace server
