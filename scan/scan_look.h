// How a scanned page looks in the document.
#pragma once

#include <optional>
#include <string_view>

namespace scan {

enum class ScanLook {
  kColour,  // white background, dark text, the page's colours kept
  kGrey,    // the same in shades of grey
  kBw,      // black text on white only
};

// "colour", "grey", "bw"; nothing for another word.
std::optional<ScanLook> ParseScanLook(std::string_view text);
std::string_view ScanLookName(ScanLook look);

}  // namespace scan
