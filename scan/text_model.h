// The language models text recognition needs, and what to tell a user who
// lacks one.
#pragma once

#include <string>
#include <vector>

namespace scan {

// Where the models are: $TESSDATA_PREFIX when set, else Debian's folder.
std::string TextModelFolder();

// "eng+deu" -> {"eng", "deu"}; empty for a text that is no language list
// (an empty part, or a character other than letters, digits, '_' and '-').
std::vector<std::string> SplitLanguages(const std::string& languages);

// Empty when every model of `languages` is installed; else one line naming
// the missing model and the Debian package that brings it.
std::string MissingModelMessage(const std::string& languages);

}  // namespace scan
