// FFmpeg's own log lines ("[tcp @ 0x...] Connection refused") go through the
// program's log: on standard error with --verbose, nowhere without it. The
// push and movie report their failures themselves.
#pragma once

void RouteFfmpegLog(bool verbose);
