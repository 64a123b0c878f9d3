// The user's choice of compressor for a movie, as the compression options
// dialog answers it.
#pragma once

#include <string>

// Identifiers of the compressors that need no codec library.
inline constexpr const char* kMovieFullFrames = "full-frames";
inline constexpr const char* kMovieBuiltinMjpeg = "builtin-mjpeg";

inline constexpr int kMovieDefaultQuality = 75;

struct MovieCompression {
  // kMovieFullFrames, kMovieBuiltinMjpeg, or the codec library's encoder name.
  std::string compressor = kMovieFullFrames;
  int quality = kMovieDefaultQuality;  // 1..100, for compressors that have one
};
