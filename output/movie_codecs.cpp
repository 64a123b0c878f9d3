#include "output/movie_codecs.h"

#include <array>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "output/movie_compression.h"

namespace {

using Quality = LibraryEncoderTraits::Quality;

// Lossless encoders make every frame stand alone, so a player can start
// anywhere; the others get a key frame each second of movie.
constexpr std::array kLibraryEncoders{
    LibraryEncoderTraits{"ffv1", "FFV1 (lossless)", Quality::kNone, nullptr, 1},
    LibraryEncoderTraits{"libx264", "H.264", Quality::kConstantRateFactor, "yuv420p", 15},
    LibraryEncoderTraits{"huffyuv", "HuffYUV (lossless)", Quality::kNone, nullptr, 1},
    LibraryEncoderTraits{"utvideo", "Ut Video (lossless)", Quality::kNone, nullptr, 1},
    LibraryEncoderTraits{"mpeg4", "MPEG-4 Part 2", Quality::kQuantiser, "yuv420p", 15},
};

}  // namespace

const LibraryEncoderTraits* FindLibraryEncoder(std::string_view name) {
  for (const auto& traits : kLibraryEncoders) {
    if (name == traits.name) return &traits;
  }
  return nullptr;
}

bool LibraryEncoderAvailable(const LibraryEncoderTraits& traits) {
  const AVCodec* codec = avcodec_find_encoder_by_name(traits.name);
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  return codec != nullptr && avi != nullptr && avformat_query_codec(avi, codec->id, FF_COMPLIANCE_NORMAL) == 1;
}

std::vector<MovieCodecChoice> AvailableMovieCodecs() {
  std::vector<MovieCodecChoice> choices{
      {kMovieFullFrames, "Full Frames (Uncompressed)", false},
      {kMovieBuiltinMjpeg, "Motion JPEG", true},
  };
  for (const auto& traits : kLibraryEncoders) {
    if (LibraryEncoderAvailable(traits)) {
      choices.push_back({traits.name, traits.label, traits.quality != Quality::kNone});
    }
  }
  return choices;
}
