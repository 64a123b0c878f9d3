// The checks JpegWrite applies before it touches any output.
#pragma once

#include <cstdint>

#include "jpeg/work_state.h"

namespace jpeg {

inline bool IsEncodingMode(std::int32_t mode) { return mode >= 8 && mode <= 13; }
inline bool IsImageMode(std::int32_t mode) { return mode == 8 || mode == 9 || mode == 12 || mode == 13; }
inline bool IsFileMode(std::int32_t mode) { return mode % 2 == 0; }

// The validation sequence; the first failing check decides: 0, -3 or -8.
std::int32_t ValidateWrite(const ImageFields& f, std::int32_t mode, std::int32_t dct_method);

// 0 when this encoder can produce the image the fields describe, else -12.
std::int32_t CheckSupported(const ImageFields& f, std::int32_t mode, std::int32_t dct_method);

}  // namespace jpeg
