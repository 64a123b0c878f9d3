// The compressors a movie can be recorded with on this machine: full frames
// and the built-in Motion JPEG always, and those encoders of the codec
// library that the AVI file can carry and that are present at run time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct MovieCodecChoice {
  std::string id;     // MovieCompression::compressor
  std::string label;  // what the options dialog shows
  bool hasQuality = false;
};

// How one of the codec library's encoders is driven for a movie.
struct LibraryEncoderTraits {
  enum class Quality { kNone, kConstantRateFactor, kQuantiser };

  const char* name;  // the library's encoder name
  const char* label;
  Quality quality;
  const char* pixelFormat;  // forced picture format, or null for the least lossy one
  int keyFrameInterval;     // 1: every frame stands alone
};

std::vector<MovieCodecChoice> AvailableMovieCodecs();

// The traits of a library encoder this program knows how to drive; null for
// any other name.
const LibraryEncoderTraits* FindLibraryEncoder(std::string_view name);

// True when the codec library has the encoder and the AVI file can carry it.
bool LibraryEncoderAvailable(const LibraryEncoderTraits& traits);
