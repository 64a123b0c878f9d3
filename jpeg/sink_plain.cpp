#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "jpeg/bit_writer.h"
#include "jpeg/kernels.h"

namespace jpeg {

namespace {

// After a failure nothing more is stored: an empty output area sends every
// later byte to the checked path, which refuses it.
void Fail(OutputSink& sink, std::int32_t code) {
  if (sink.error == 0) sink.error = code;
  // The bytes already in the caller's buffer stay counted.
  if (sink.fd < 0) sink.flushed += sink.cur - sink.start;
  sink.cur = sink.start;
  sink.end = sink.start;
}

}  // namespace

void WriteOutFileBuffer(OutputSink& sink) {
  if (sink.error != 0 || sink.fd < 0) return;
  const auto length = static_cast<std::size_t>(sink.cur - sink.start);
  if (length == 0) return;
  ssize_t written = 0;
  do {
    written = ::write(sink.fd, sink.start, length);
  } while (written < 0 && errno == EINTR);
  if (written < 0 || static_cast<std::size_t>(written) != length) {
    Fail(sink, -23);
    return;
  }
  sink.flushed += static_cast<std::int64_t>(length);
  sink.cur = sink.start;
}

bool PutByteChecked(OutputSink& sink, std::uint8_t byte) {
  if (sink.cur == sink.end) {
    if (sink.error != 0) return false;
    if (sink.fd < 0) {
      Fail(sink, -28);
      return false;
    }
    WriteOutFileBuffer(sink);
    if (sink.error != 0) return false;
  }
  *sink.cur++ = byte;
  return true;
}

void PutBytesChecked(OutputSink& sink, const std::uint8_t* data, std::int64_t n) {
  if (n <= 0) return;
  if (sink.end - sink.cur >= n) {
    std::memcpy(sink.cur, data, static_cast<std::size_t>(n));
    sink.cur += n;
    return;
  }
  for (std::int64_t i = 0; i < n; ++i) {
    if (!PutByteChecked(sink, data[i])) return;
  }
}

void sink_init_plain(OutputSink& sink, int fd, std::uint8_t* buffer, std::int64_t capacity) {
  sink.bit_acc = 0;
  sink.bit_count = 0;
  sink.error = 0;
  sink.flushed = 0;
  sink.fd = fd;
  if (fd >= 0) {
    sink.start = sink.file_buffer;
    sink.capacity = kFileBufferSize;
  } else {
    sink.start = buffer;
    sink.capacity = buffer != nullptr ? std::max<std::int64_t>(capacity, 0) : 0;
  }
  sink.cur = sink.start;
  sink.end = sink.start + sink.capacity;
}

void sink_write_plain(OutputSink& sink, const std::uint8_t* data, std::size_t n) {
  BitWriter(sink).Complete();
  if (sink.error != 0) return;
  if (sink.fd < 0) {
    // The buffer modes keep one byte of slack after every block.
    if (static_cast<std::size_t>(sink.end - sink.cur) <= n) {
      Fail(sink, -28);
      return;
    }
    if (n > 0) std::memcpy(sink.cur, data, n);
    sink.cur += n;
    return;
  }
  while (n > 0) {
    if (sink.cur == sink.end) {
      WriteOutFileBuffer(sink);
      if (sink.error != 0) return;
    }
    const std::size_t room = static_cast<std::size_t>(sink.end - sink.cur);
    const std::size_t chunk = std::min(room, n);
    std::memcpy(sink.cur, data, chunk);
    sink.cur += chunk;
    data += chunk;
    n -= chunk;
  }
}

void sink_flush_plain(OutputSink& sink) {
  BitWriter(sink).Complete();
  WriteOutFileBuffer(sink);
}

}  // namespace jpeg
