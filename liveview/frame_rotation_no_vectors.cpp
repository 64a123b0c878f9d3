// Where the processor is not x86 the vector kernels' files are left out of
// the build: no set of theirs runs, and the plain kernels serve.
#include "liveview/frame_rotation_kernels.h"

namespace rotation_kernels {

const TurnKernelSet* Ssse3TurnKernels() { return nullptr; }
const TurnKernelSet* Avx2TurnKernels() { return nullptr; }
const TurnKernelSet* Avx512TurnKernels() { return nullptr; }

}  // namespace rotation_kernels
