#include "platform/device_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string DeviceClaim::LockFolder() {
  if (const char* dir = std::getenv("TAVROCAM_CLAIM_DIR"); dir && *dir) return dir;
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR"); dir && *dir) return dir;
  // Another user's file in the shared folder would refuse us: keep ours apart.
  std::string folder = "/tmp/tavrocam-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::unique_ptr<DeviceClaim> DeviceClaim::Create(std::string_view name, std::uint32_t& lastError) {
  std::string path = LockFolder() + "/tavrocam-" + std::string(name) + ".lock";
  // The file is never unlinked: removing it would let a second process lock a
  // fresh file under the same name while the first still holds the old one.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    lastError = (errno == EACCES || errno == EPERM) ? kErrorAccessDenied : static_cast<std::uint32_t>(errno);
    return nullptr;
  }
  // flock, not fcntl record locks: those vanish when any descriptor of the file closes.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    lastError = (err == EWOULDBLOCK) ? kErrorAlreadyExists : static_cast<std::uint32_t>(err);
    return nullptr;
  }
  lastError = kErrorSuccess;
  return std::make_unique<DeviceClaim>(Token{}, fd, std::move(path));
}

DeviceClaim::~DeviceClaim() {
  ::flock(m_fd, LOCK_UN);
  ::close(m_fd);
}

}  // namespace platform
