// Whether the program has a display to show its windows on.
#pragma once

#include <string>

// True when a display server is named in the environment or a Qt platform is
// chosen (QT_QPA_PLATFORM or -platform on the command line).
bool HasDisplay(int argc, char** argv);

// One line for a machine with no display: what is missing and how to run
// the program under a virtual display instead.
std::string NoDisplayMessage();
