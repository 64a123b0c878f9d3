// The finished document: the pages' one-page PDFs joined into one file,
// written beside its final name and renamed into place, never over another
// file.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace scan {

// "TAVROCAM_YYYYMMDD_HHMMSS" for a local time.
std::string DocumentBaseName(std::time_t localTime);

// The name for the n-th try (from 1): "<base>.pdf", then "<base>_2.pdf", ...
std::string DocumentFileName(const std::string& baseName, int attempt);

struct DocumentResult {
  std::string error;  // empty on success
  std::string path;   // the file written
};

// Joins `pagePdfs` in order into `folder` (made when missing) under the first
// free DocumentFileName of `baseName`, with `title` and `created` in its
// metadata. A failure leaves no file.
DocumentResult WriteDocument(const std::vector<std::string>& pagePdfs, const std::string& folder,
                             const std::string& baseName, const std::string& title, std::time_t created);

// Joins `pagePdfs` in order into exactly `path`, replacing it (the command
// line's -o). A failure leaves `path` as it was.
DocumentResult WriteDocumentTo(const std::vector<std::string>& pagePdfs, const std::string& path,
                               const std::string& title, std::time_t created);

}  // namespace scan
