// The token kept in a file, so that it never stands on the command line
// where every user of the computer can read it (ps, /proc).
#pragma once

#include <string>

namespace server {

struct TokenFileResult {
  std::string token;
  std::string error;  // empty on success
};

// The file's first line without surrounding blanks. Refused unless it is a
// regular file owned by this user that nobody else may read or write.
TokenFileResult ReadTokenFile(const std::string& path);

}  // namespace server
