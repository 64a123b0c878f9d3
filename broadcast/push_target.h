// Where a push goes: a streaming server (rtmp://, rtmps://, srt://, rtsp://)
// or a local recording (.mkv, .mp4), and the container each one carries.
#pragma once

#include <optional>
#include <string>

enum class PushKind { Rtmp, Srt, Rtsp, File };

struct PushTarget {
  PushKind kind = PushKind::File;
  std::string url;      // as given
  std::string muxer;    // libavformat's name for the container
  std::string host;     // empty for files
  std::string display;  // the URL without credentials or stream key, for the screen
};

struct PushTargetResult {
  std::optional<PushTarget> target;
  std::string error;  // why the URL can never work, when target is empty
};

// Recognises the URL's scheme or file ending; refuses everything else.
PushTargetResult ParsePushTarget(const std::string& url);
