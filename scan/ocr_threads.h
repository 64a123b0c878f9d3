// The text recogniser's OpenMP threads fight each other over two cores and
// make a page about ten times slower; pages are read in parallel instead,
// each by one thread.
#pragma once

namespace scan {

// Lets no OpenMP parallel region of the process become active: each runs on
// the thread that reaches it (the runtime's max-active-levels at 0, a
// setting for the whole process). Call before the first recognition; safe
// from any thread and more than once. OMP_THREAD_LIMIT=1 in the environment
// does the same, but only when the program starts with it.
void UseOneOcrThread();

}  // namespace scan
