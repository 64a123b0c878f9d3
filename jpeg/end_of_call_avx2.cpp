#include <immintrin.h>

#include "jpeg/vector_kernels.h"

namespace jpeg {

void end_of_call_avx2() { _mm256_zeroupper(); }

}  // namespace jpeg
