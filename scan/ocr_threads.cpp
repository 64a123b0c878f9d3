#include "scan/ocr_threads.h"

#include <unistd.h>

#include <cstdlib>

namespace scan {

void RestartWithOneOcrThread(char** argv) {
  if (std::getenv("OMP_THREAD_LIMIT")) return;
  if (::setenv("OMP_THREAD_LIMIT", "1", 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  // Still here: the program runs on, only slower to read pages.
}

}  // namespace scan
