#include "jpeg/file_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace jpeg {

int CreateOutputFile(const char* name) {
  if (name == nullptr || *name == '\0') return -1;
  int fd = -1;
  do {
    fd = ::open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool CloseOutputFile(int fd) {
  // Linux releases the descriptor even when close fails, so never retry it.
  return ::close(fd) == 0;
}

}  // namespace jpeg
