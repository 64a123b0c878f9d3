#include "scan/scan_look.h"

namespace scan {

std::optional<ScanLook> ParseScanLook(std::string_view text) {
  if (text == "colour" || text == "color") return ScanLook::kColour;
  if (text == "grey" || text == "gray") return ScanLook::kGrey;
  if (text == "bw") return ScanLook::kBw;
  return std::nullopt;
}

std::string_view ScanLookName(ScanLook look) {
  switch (look) {
    case ScanLook::kColour: return "colour";
    case ScanLook::kGrey: return "grey";
    case ScanLook::kBw: return "bw";
  }
  return "colour";
}

}  // namespace scan
