// Turns the packed bitmap's rows of one movie frame into the samples the AVI
// stream stores, and describes the stream format they need.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "output/avi_bitmap_info.h"
#include "output/avi_error.h"
#include "output/movie_compression.h"

struct AVCodecParameters;

// Takes each finished sample: its stream position, bytes and key-frame flag.
using MovieSampleSink =
    std::function<AviError(std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame)>;

class IMovieCompressor {
 public:
  virtual ~IMovieCompressor() = default;

  // The stream format, for the file's header.
  virtual bool Describe(AVCodecParameters& format) const = 0;

  // Compresses the rows of one frame of the size given at opening (`rows`
  // points at the first stored row, right after header and colour table) and
  // hands what it produced to `sink`.
  virtual AviError Compress(const std::uint8_t* rows, std::int64_t position, const MovieSampleSink& sink) = 0;

  // Hands over samples the compressor still holds; called once at the end.
  virtual AviError Finish(const MovieSampleSink& sink) = 0;
};

// Opens the chosen compressor for frames like `frame`; null with the reason
// when it is unknown, missing, or refuses that picture.
std::unique_ptr<IMovieCompressor> OpenMovieCompressor(const MovieCompression& choice, const PackedBitmapInfo& frame,
                                                      AviError& error);

// The individual compressors, for the factory and for tests.
std::unique_ptr<IMovieCompressor> OpenFullFrameCompressor(const PackedBitmapInfo& frame);
std::unique_ptr<IMovieCompressor> OpenBuiltinJpegCompressor(const PackedBitmapInfo& frame, int quality);
std::unique_ptr<IMovieCompressor> OpenLibraryCompressor(const char* encoderName, const PackedBitmapInfo& frame,
                                                        int quality);
