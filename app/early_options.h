// What the command line settles before Qt starts: a bad option, --version and
// a missing display each end the program here with their own message, so
// that none of them is mistaken for another.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"

// The arguments without the program name and without the options Qt's
// application object takes for itself (-platform NAME, -style=NAME, ...).
std::vector<std::string> WithoutQtOptions(int argc, char** argv);

// The options of a command line (without Qt's), or nothing after printing
// why the line was refused.
std::optional<CommandLine> ParseOrTellWhyNot(const std::vector<std::string>& args);

// "tavrocam VERSION (Tavrocam JPEG Encoder VERSION)".
std::string VersionText();

// The exit code when the program ends before its application object exists,
// after printing why; nothing when it goes on.
std::optional<int> HandleEarlyOptions(int argc, char** argv);
