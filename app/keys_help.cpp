#include "app/keys_help.h"

#include <array>
#include <string_view>

namespace {

struct KeyHelp {
  std::string_view keys;
  std::string_view does;
};

// The same keys as the picture's right-click menu offers; they work from
// the panel too.
constexpr std::array<KeyHelp, 8> kKeys = {{
    {"Space", "quick capture of the picture on screen, live or frozen (also from the panel)"},
    {"I", "start or stop an interval capture"},
    {"Ctrl+C", "copy the picture on screen to the clipboard"},
    {"R", "turn the picture a quarter clockwise"},
    {"Shift+R", "turn the picture a quarter counter-clockwise"},
    {"F11", "full screen on and off"},
    {"Escape", "leave full screen (from any of the program's windows)"},
    {"H", "hide or show the panel and its diagnostics window"},
}};

}  // namespace

std::string KeysHelpText() {
  std::string text = "\nKeys on the main window:\n";
  for (const KeyHelp& key : kKeys) {
    text += "  ";
    text += key.keys;
    text.append(key.keys.size() < 10 ? 10 - key.keys.size() : 1, ' ');
    text += key.does;
    text += '\n';
  }
  return text;
}
