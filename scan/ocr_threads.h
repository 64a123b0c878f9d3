// The text recogniser's OpenMP threads fight each other over two cores and
// make a page about ten times slower; pages are read in parallel instead.
// The OpenMP runtime reads its limit once, when it is loaded, so a program
// must have it in its environment from the start.
#pragma once

namespace scan {

// When OMP_THREAD_LIMIT is not set: sets it to 1 and starts the program
// again in place (execv of /proc/self/exe with the same arguments). Call first
// thing in main. Returns when the limit is already set or the restart failed.
void RestartWithOneOcrThread(char** argv);

}  // namespace scan
