// Background work that must not slow the live picture: the calling thread
// yields the processor to the program's other threads whenever they want it.
#pragma once

namespace platform {

// Lowers the calling thread's scheduling priority for good (on Linux:
// SCHED_BATCH and nice 10 for this thread alone). Returns false where the
// system refuses or has no such setting; the thread then runs on as before.
bool LowerThisThreadPriority();

}  // namespace platform
