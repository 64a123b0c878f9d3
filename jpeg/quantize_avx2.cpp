#include "jpeg/vector_kernels.h"
#include "jpeg/vector_lanes.h"

namespace jpeg {

void quantize_avx2(std::int16_t* block, const std::uint16_t* reciprocals) { QuantizeLanes(block, reciprocals); }

}  // namespace jpeg
