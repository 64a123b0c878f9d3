// The keys of the main window, as --help ends with them.
#pragma once

#include <string>

std::string KeysHelpText();
