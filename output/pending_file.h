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

 private:
  void Discard();

  std::string m_target;
  std::string m_tempPath;
  int m_fd = -1;
  bool m_committed = false;
};
