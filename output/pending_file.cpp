#include "output/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomTag() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  char tag[17];
  std::snprintf(tag, sizeof tag, "%016llx", static_cast<unsigned long long>(engine()));
  return tag;
}

}  // namespace

PendingFile::PendingFile(std::string target) : m_target(std::move(target)) {}

PendingFile::~PendingFile() {
  if (!m_committed) Discard();
}

StillError PendingFile::Create() {
  if (m_target.empty() || NameOf(m_target).empty()) return Failed(StillError::kCannotCreate, 0);
  // A dot name keeps the unfinished file out of ordinary folder listings.
  const std::string stem = FolderOf(m_target) + "/." + NameOf(m_target) + ".";
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = stem + RandomTag() + ".tmp";
    // 0666 lets the process umask decide, as for any newly created file.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      m_fd = fd;
      m_tempPath = std::move(candidate);
      return StillError::kNone;
    }
    if (errno != EEXIST) return Failed(StillError::kCannotCreate);
  }
  return Failed(StillError::kCannotCreate);
}

StillError PendingFile::Write(std::span<const unsigned char> bytes) {
  if (m_fd < 0) return Failed(StillError::kWriteFailed, EBADF);
  while (!bytes.empty()) {
    const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return Failed(StillError::kWriteFailed);
    }
    if (written == 0) return Failed(StillError::kWriteFailed, ENOSPC);
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return StillError::kNone;
}

void PendingFile::CloseDescriptor() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

StillError PendingFile::Commit() {
  if (const StillError e = SyncAndClose(true); e != StillError::kNone) return e;
  if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0) return Failed(StillError::kCannotReplace);
  m_committed = true;
  return StillError::kNone;
}

StillError PendingFile::SyncAndClose(bool keepTargetRights) {
  if (m_tempPath.empty() || m_committed) return Failed(StillError::kWriteFailed, 0);
  if (m_fd < 0) {
    // Another writer filled the file by name; reopen it to make it durable.
    m_fd = ::open(m_tempPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) return Failed(StillError::kWriteFailed);
  }
  // Space shortages can surface only when the data reaches the disk.
  const bool synced = ::fsync(m_fd) == 0;
  const int syncError = synced ? 0 : errno;
  struct stat existing {};
  if (keepTargetRights && synced && ::stat(m_target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    // Overwriting keeps the access rights the user gave the old file.
    ::fchmod(m_fd, existing.st_mode & 07777);
  }
  const bool closed = ::close(m_fd) == 0;
  m_fd = -1;
  if (!synced) return Failed(StillError::kWriteFailed, syncError);
  return closed ? StillError::kNone : Failed(StillError::kWriteFailed);
}

StillError PendingFile::Failed(StillError error) { return Failed(error, errno); }

StillError PendingFile::Failed(StillError error, int systemError) {
  RecordStillFailure("writing " + m_target, error, systemError);
  return error;
}

PendingFile::LinkResult PendingFile::LinkAsNew(const std::string& target) {
  // An atomic rename that refuses an existing name; file systems without it
  // get a hard link, which refuses one too.
  if (::renameat2(AT_FDCWD, m_tempPath.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    m_committed = true;
    return LinkResult::kDone;
  }
  if (errno == EEXIST) return LinkResult::kTaken;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return LinkResult::kFailed;
  if (::link(m_tempPath.c_str(), target.c_str()) != 0)
    return errno == EEXIST ? LinkResult::kTaken : LinkResult::kFailed;
  ::unlink(m_tempPath.c_str());
  m_committed = true;
  return LinkResult::kDone;
}

void PendingFile::Discard() {
  CloseDescriptor();
  if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
}
