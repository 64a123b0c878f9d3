// The 256-bit transform built for processors with AVX-512VL: the same lanes,
// but 32 vector registers keep every intermediate out of memory.
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

void fdct_islow_avx512(std::int16_t* block) { FdctLanes(block); }

}  // namespace jpeg
