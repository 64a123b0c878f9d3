// Deterministic BGR pictures that compress like photographs: smooth
// gradients, fine texture, hard edges and a little sensor noise.
#pragma once

#include <cstdint>
#include <vector>

std::vector<std::uint8_t> NaturalPicture(int width, int height);
