#include "server/token_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace server {

namespace {

constexpr std::size_t kMaxTokenFileBytes = 4096;

struct Descriptor {
  explicit Descriptor(int value) : fd(value) {}
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int fd;
};

}  // namespace

TokenFileResult ReadTokenFile(const std::string& path) {
  const auto failed = [&](const std::string& why) { return TokenFileResult{{}, path + ": " + why}; };
  // Opened first and checked through the descriptor, so that the file read
  // is the file checked.
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.fd < 0) return failed(std::strerror(errno));
  struct stat info {};
  if (::fstat(file.fd, &info) != 0) return failed(std::strerror(errno));
  if (!S_ISREG(info.st_mode)) return failed("not a regular file");
  if (info.st_uid != ::geteuid()) return failed("the token file must belong to you");
  if ((info.st_mode & 077) != 0) return failed("other users may read the token file (chmod 600 it)");
  std::string text(kMaxTokenFileBytes + 1, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(file.fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return failed(std::strerror(errno));
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > kMaxTokenFileBytes) return failed("larger than a token file can be");
  text.resize(got);
  text = text.substr(0, text.find_first_of("\r\n"));
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return failed("the token file is empty");
  const auto last = text.find_last_not_of(" \t");
  return {text.substr(first, last - first + 1), {}};
}

}  // namespace server
