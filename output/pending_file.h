// A file that is written under a fresh name beside its target and takes the
// target's name only once it is complete, so a failed save never leaves a
// truncated file (or a half-replaced older one) under the user's name.
#pragma once

#include <span>
#include <string>

#include "output/still_error.h"

class PendingFile {
 public:
  explicit PendingFile(std::string target);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the temporary file, open for writing.
  StillError Create();
  // The temporary name, for writers that open the file themselves.
  const std::string& TempPath() const { return m_tempPath; }
  // Appends bytes through the descriptor that Create opened.
  StillError Write(std::span<const unsigned char> bytes);
  // Closes our descriptor so another writer can use the name alone.
  void CloseDescriptor();
  // Makes the written data durable and renames it onto the target.
  StillError Commit();
  // Like Commit, but never replaces a file: gives the data the first of
  // `candidate`(1), `candidate`(2), ... that no file holds yet (at most
  // kMaxNewNames tries) and answers that name in `committedName`.
  static constexpr int kMaxNewNames = 1000;
  template <typename NameFor>
  StillError CommitAsNew(NameFor candidate, std::string* committedName = nullptr) {
    if (const StillError e = SyncAndClose(); e != StillError::kNone) return e;
    for (int attempt = 1; attempt <= kMaxNewNames; ++attempt) {
      std::string name = candidate(attempt);
      const LinkResult result = LinkAsNew(name);
      if (result == LinkResult::kTaken) continue;
      if (result == LinkResult::kFailed) return Failed(StillError::kCannotReplace);
      if (committedName) *committedName = std::move(name);
      return StillError::kNone;
    }
    return Failed(StillError::kCannotReplace, 0);
  }

 private:
  enum class LinkResult { kDone, kTaken, kFailed };
  // Records the failure with errno (or the one given) and answers it.
  StillError Failed(StillError error);
  StillError Failed(StillError error, int systemError);
  void Discard();
  // Makes the data durable and closes the file; with keepTargetRights the
  // file takes the access rights of the file it is to replace.
  StillError SyncAndClose(bool keepTargetRights = false);
  LinkResult LinkAsNew(const std::string& target);

  std::string m_target;
  std::string m_tempPath;
  int m_fd = -1;
  bool m_committed = false;
};
