// The broadcast push as the web server reports it in /api/state. The
// network may see the push's state but never its stream key or token.
#pragma once

#include <string>
#include <string_view>

#include "broadcast/push_state.h"

namespace server {

// A push URL as a network client may see it: scheme and host (with port),
// and "/..." when a path followed; a file's path as it is.
std::string PublicPushTarget(std::string_view shownTarget);

// `null` when no push was asked for, else an object: state, target, error
// (null when none), retry_in_seconds, width, height, frames_sent,
// frames_dropped, reconnects.
std::string PushStateJson(const PushStatus& status);

}  // namespace server
