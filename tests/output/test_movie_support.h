// Helpers of the movie tests: packed bitmaps with a known picture, and the
// read-back of a movie file through the media library (an independent reader).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace movie_test {

// A packed bottom-up 24-bit bitmap (40-byte header, rows padded to 4) whose
// pixels follow `seed`.
std::vector<std::uint8_t> MakePackedBitmap(int width, int height, int seed);

// The picture of a packed bitmap, top row first, 3 bytes a pixel, no padding.
std::vector<std::uint8_t> TopDownPixels(const std::vector<std::uint8_t>& packed);

struct ReadPacket {
  std::int64_t pts = 0;
  int size = 0;
  bool key = false;
};

struct MovieReadBack {
  bool opened = false;
  std::string codec;  // the library's codec name
  std::uint32_t codecTag = 0;
  int width = 0;
  int height = 0;
  int rateNum = 0;  // frames a second as a fraction
  int rateDen = 0;
  int timeBaseNum = 0;
  int timeBaseDen = 0;
  std::int64_t streamLength = 0;    // slots in the stream, empty ones included
  std::vector<ReadPacket> packets;  // non-empty samples
  // Decoded pictures of the non-empty samples, top row first, BGR, no padding.
  std::vector<std::vector<std::uint8_t>> pictures;
  int decodeErrors = 0;
};

MovieReadBack ReadMovie(const std::string& path, bool decode = true);

// The AVI stream header of the first stream ("strh" chunk body), empty when
// the file has none.
std::vector<std::uint8_t> StreamHeaderChunk(const std::string& path);

// Checks what a movie of whole frames says of its stream: uncompressed
// pictures of `width` x `height`, 15 frames a second.
void ExpectFullFrameStream(const MovieReadBack& movie, int width, int height);

// Runs ffprobe on the file; true when it reports no error at all. `stderrText`
// gets what it said.
bool ProbeWithoutErrors(const std::string& path, std::string* stderrText = nullptr);

// The per-frame hashes a constant-rate player would show (ffmpeg, 15 a
// second): held frames repeat the hash before them. Empty when ffmpeg is missing.
std::vector<std::string> ConstantRateFrameHashes(const std::string& path);

}  // namespace movie_test
