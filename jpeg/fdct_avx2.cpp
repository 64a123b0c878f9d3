#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

void fdct_islow_avx2(std::int16_t* block) { FdctLanes(block); }

}  // namespace jpeg
