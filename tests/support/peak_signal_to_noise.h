// How close a decoded picture is to the one encoded, for the tests and the
// benchmarks that weigh a lossy coder's output.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace test_support {

// The peak signal-to-noise ratio of two runs of 8-bit samples, in dB: 99 for
// identical ones, 0 for runs of different lengths or none at all.
inline double PeakSignalToNoise(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  if (a.size() != b.size() || a.empty()) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  const double mse = sum / static_cast<double>(a.size());
  return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace test_support
