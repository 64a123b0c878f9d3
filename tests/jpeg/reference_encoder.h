// A deliberately plain second encoder, written straight from the stream
// format: whole-picture loops, one bit at a time, no shared code with the
// encoder's kernels. The encoder must produce exactly its bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "jpeg_test_support.h"

namespace jpeg_test {

std::vector<std::uint8_t> ReferenceEncode(const Picture& pic, int quality);

// The forward DCT's integer arithmetic on one block, natural order in and out.
void ReferenceFdct(const int in[64], int out[64]);

}  // namespace jpeg_test
