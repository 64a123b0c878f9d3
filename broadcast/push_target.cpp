#include "broadcast/push_target.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

struct Scheme {
  std::string_view prefix;
  PushKind kind;
  const char* muxer;
};

// RTMP carries FLV; SRT carries MPEG-TS; RTSP's muxer does its own packaging.
constexpr Scheme kSchemes[] = {
    {"rtmp://", PushKind::Rtmp, "flv"},
    {"rtmps://", PushKind::Rtmp, "flv"},
    {"srt://", PushKind::Srt, "mpegts"},
    {"rtsp://", PushKind::Rtsp, "rtsp"},
};

// "host", "host:port", "user:pass@host:port", "[::1]:port" -> host.
std::string HostOf(std::string_view authority) {
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    return close == std::string_view::npos ? std::string() : std::string(authority.substr(1, close - 1));
  }
  return std::string(authority.substr(0, authority.find(':')));
}

// Stream keys sit in the path of RTMP URLs and in the query of SRT ones:
// show the server and the application only.
std::string DisplayOf(std::string_view url, std::string_view prefix, std::string_view authority, PushKind kind) {
  std::string_view path = url.substr(prefix.size() + authority.size());
  path = path.substr(0, path.find('?'));
  std::string_view shownAuthority = authority;
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) shownAuthority.remove_prefix(at + 1);
  std::string shown = std::string(prefix) + std::string(shownAuthority);
  if (kind == PushKind::Rtmp) {
    // rtmp://host/app/key: keep "/app", hide the key.
    const auto second = path.find('/', 1);
    shown += std::string(path.substr(0, second));
    if (second != std::string_view::npos) shown += "/...";
  } else if (kind == PushKind::Rtsp) {
    shown += std::string(path);
  }
  return shown;
}

}  // namespace

PushTargetResult ParsePushTarget(const std::string& url) {
  if (url.empty()) return {std::nullopt, "the push URL is empty"};
  const std::string lower = Lower(url);
  for (const Scheme& scheme : kSchemes) {
    if (!lower.starts_with(scheme.prefix)) continue;
    const std::string_view rest = std::string_view(url).substr(scheme.prefix.size());
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?"));
    std::string host = HostOf(authority);
    if (host.empty()) return {std::nullopt, "the push URL names no host: " + url};
    PushTarget target;
    target.kind = scheme.kind;
    target.url = url;
    target.muxer = scheme.muxer;
    target.display = DisplayOf(url, std::string_view(url).substr(0, scheme.prefix.size()), authority, scheme.kind);
    target.host = std::move(host);
    return {target, {}};
  }
  if (lower.find("://") != std::string::npos) {
    return {std::nullopt,
            "unknown push scheme in " + url + " (use rtmp://, rtmps://, srt://, rtsp:// or a .mkv/.mp4 file)"};
  }
  const char* muxer = lower.ends_with(".mkv") ? "matroska" : lower.ends_with(".mp4") ? "mp4" : nullptr;
  if (muxer == nullptr) {
    return {std::nullopt, "a push file must end in .mkv or .mp4: " + url};
  }
  PushTarget target;
  target.kind = PushKind::File;
  target.url = url;
  target.muxer = muxer;
  target.display = url;
  return {target, {}};
}
