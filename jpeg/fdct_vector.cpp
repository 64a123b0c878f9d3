// The forward transform of every vector set: one body (FdctLanes), built once
// per set with that set's flags. Built for AVX-512 it is still the 256-bit
// transform, but 32 vector registers keep every intermediate out of memory.
#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

#if defined(TAVROCAM_JPEG_SET_SSE2)
void fdct_islow_sse2(std::int16_t* block) { FdctLanes(block); }
#elif defined(TAVROCAM_JPEG_SET_AVX2)
void fdct_islow_avx2(std::int16_t* block) { FdctLanes(block); }
#elif defined(TAVROCAM_JPEG_SET_AVX512)
void fdct_islow_avx512(std::int16_t* block) { FdctLanes(block); }
#else
#error "built once per vector set, with TAVROCAM_JPEG_SET_<SET> defined"
#endif

}  // namespace jpeg
