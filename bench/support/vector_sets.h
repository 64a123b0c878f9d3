// Per-set figures: the benchmark runs again as a child process under a
// VECTORSET cap, so every kernel family in it makes the choice the program
// would make under that cap.
#pragma once

#include <string>
#include <vector>

namespace bench {

// The caps that change something on this machine, narrowest first:
// "sse2" (the 16-byte kernels), then "avx2" and "avx512" where present.
std::vector<std::string> RunnableVectorSets();

// Runs this program again with `argument` under a cap of `set` and reads
// what it prints on its first line; empty when the child fails.
std::string RunUnderVectorSetCap(const std::string& set, const std::string& argument);

}  // namespace bench
