#include "app/early_options.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

#include "app/command_line.h"
#include "app/display_check.h"
#include "jpeg/segments.h"  // the encoder's own name and version

namespace {

// Qt's own options (QGuiApplication's and QApplication's), with one dash or two.
constexpr std::array<std::string_view, 12> kQtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowtitle", "qwindowicon",
    "display",  "geometry",           "session",       "style",  "stylesheet"};
constexpr std::array<std::string_view, 5> kQtSwitches = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <std::size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view name) {
  for (const std::string_view known : names)
    if (known == name) return true;
  return false;
}

}  // namespace

std::vector<std::string> WithoutQtOptions(int argc, char** argv) {
  std::vector<std::string> kept;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string_view name = arg;
    if (name.starts_with("--"))
      name.remove_prefix(2);
    else if (name.starts_with("-"))
      name.remove_prefix(1);
    else {
      kept.emplace_back(arg);
      continue;
    }
    const auto equals = name.find('=');
    const bool inlineValue = equals != std::string_view::npos;
    if (inlineValue) name = name.substr(0, equals);
    // Qt takes its single-dash forms and --platform; ours are long options,
    // so "--style" stays ours only if we ever define one.
    if (Among(kQtOptionsWithValue, name)) {
      if (!inlineValue && i + 1 < argc) ++i;
      continue;
    }
    if (!inlineValue && Among(kQtSwitches, name)) continue;
    kept.emplace_back(arg);
  }
  return kept;
}

std::string VersionText() {
#ifdef TAVROCAM_VERSION
  const std::string program = TAVROCAM_VERSION;
#else
  const std::string program = "unknown";
#endif
  return "tavrocam " + program + " (" + jpeg::DefaultCommentText() + ")\n";
}

std::optional<CommandLine> ParseOrTellWhyNot(const std::vector<std::string>& args) {
  CommandLineResult parsed = ParseCommandLine(args);
  if (!parsed.options) std::fprintf(stderr, "tavrocam: %s (see --help)\n", parsed.error.c_str());
  return std::move(parsed.options);
}

std::optional<int> HandleEarlyOptions(int argc, char** argv) {
  const std::optional<CommandLine> parsed = ParseOrTellWhyNot(WithoutQtOptions(argc, argv));
  if (!parsed) return 2;
  if (parsed->version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  // --help and --headless need no display; everything else does.
  if (!parsed->help && !parsed->headless && !HasDisplay(argc, argv)) {
    std::fputs(NoDisplayMessage().c_str(), stderr);
    return 2;
  }
  return std::nullopt;
}
