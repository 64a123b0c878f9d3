// The web server's settings from the command line, the environment and the
// profile, checked before any window opens.
#pragma once

#include <string>

#include "app/command_line.h"
#include "server/camera_server.h"

inline constexpr const char* kServeTokenVariable = "TAVROCAM_SERVE_TOKEN";
inline constexpr const char* kProfileServeHosts = "ServeHosts";

// Fills `options` for `line.serve`; empty on success, else the one line to
// refuse with. A token on the command line is accepted with a warning on
// standard error, once.
std::string BuildServeOptions(const CommandLine& line, server::CameraServerOptions& options);
