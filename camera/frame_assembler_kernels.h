// The inner loops of frame assembly: n pixels built from three colour planes,
// written forwards or in reverse pixel order. out[3m..3m+2] = first[i],
// second[i], third[i] with i = m (forward) or n-1-m (reverse).
#pragma once

#include <cstddef>
#include <cstdint>

#include "camera/frame_assembler.h"

namespace camera::kernels {

void InterleaveForwardPlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);
void InterleaveReversePlain(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);

// Present only on x86; callers check the processor first.
bool Ssse3Available();
void InterleaveForwardSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);
void InterleaveReverseSsse3(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                            std::size_t n, std::uint8_t* out);

bool Avx2Available();
void InterleaveForwardAvx2(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                           std::size_t n, std::uint8_t* out);
void InterleaveReverseAvx2(const std::uint8_t* first, const std::uint8_t* second, const std::uint8_t* third,
                           std::size_t n, std::uint8_t* out);

// The whole direct pass with each level's kernels; `code` is 0..3 and the
// shape and buffers have been checked.
void AssembleRunsPlain(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out);
void AssembleRunsSsse3(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out);
void AssembleRunsAvx2(const PipeViews& pipes, FrameShape shape, int code, std::uint8_t* out);

}  // namespace camera::kernels
