#include "output/movie_compressor.h"

#include <string_view>

#include "output/movie_codecs.h"

std::unique_ptr<IMovieCompressor> OpenMovieCompressor(const MovieCompression& choice, const PackedBitmapInfo& frame,
                                                      AviError& error) {
  std::unique_ptr<IMovieCompressor> compressor;
  const std::string_view id = choice.compressor;
  if (id == kMovieFullFrames) {
    compressor = OpenFullFrameCompressor(frame);
  } else if (id == kMovieBuiltinMjpeg) {
    compressor = OpenBuiltinJpegCompressor(frame, choice.quality);
  } else if (FindLibraryEncoder(id) != nullptr) {
    compressor = OpenLibraryCompressor(choice.compressor.c_str(), frame, choice.quality);
  }
  error = compressor ? AviError::kNone : AviError::kNoCompressor;
  return compressor;
}
