// Where the processor is not x86 the vector kernels' files are left out of
// the build: no set of theirs runs, and the plain kernels serve.
#include "camera/frame_assembler_kernels.h"

namespace camera::kernels {

const AssemblyKernelSet* Ssse3Kernels() { return nullptr; }
const AssemblyKernelSet* Avx2Kernels() { return nullptr; }

}  // namespace camera::kernels
