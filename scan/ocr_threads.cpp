#include "scan/ocr_threads.h"

#include <omp.h>

#include <mutex>

namespace scan {

void UseOneOcrThread() {
  static std::once_flag once;
  std::call_once(once, [] { omp_set_max_active_levels(0); });
}

}  // namespace scan
