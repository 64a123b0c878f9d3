#include "app/ffmpeg_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace {

std::atomic<bool> g_verbose{false};

void LogLine(void* object, int level, const char* format, va_list args) {
  if (!g_verbose.load(std::memory_order_relaxed) || level > av_log_get_level()) return;
  // FFmpeg may build one line from several calls; each thread keeps its own place.
  thread_local int printPrefix = 1;
  char line[1024];
  if (av_log_format_line2(object, level, format, args, line, sizeof line, &printPrefix) < 0) return;
  std::fprintf(stderr, "tavrocam: ffmpeg: %s", line);
}

}  // namespace

void RouteFfmpegLog(bool verbose) {
  g_verbose.store(verbose, std::memory_order_relaxed);
  av_log_set_callback(LogLine);
}
