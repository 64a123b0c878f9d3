// One AVI file with one video stream, written through the media library's
// AVI muxer. Positions are sample indices of the stream; a position left out
// stays an empty slot that players fill by holding the frame before it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "output/avi_error.h"
#include "output/avi_stream_info.h"

struct AVFormatContext;
struct AVCodecParameters;
struct AVStream;

class CAviFile {
 public:
  // Creates (or truncates) the file. Nothing on failure, with the media
  // library's words for it in libraryError.
  static std::unique_ptr<CAviFile> Create(const std::string& path, AviError& error, std::string& libraryError);

  ~CAviFile();
  CAviFile(const CAviFile&) = delete;
  CAviFile& operator=(const CAviFile&) = delete;

  AviError AddVideoStream(const AviStreamInfo& info);
  // Declares what the stream's samples hold and writes the file's header.
  AviError SetFormat(const AVCodecParameters& format);

  // Writes one sample at `position`. A slot holds one sample, so a position
  // at or before the last one written keeps the sample already there and the
  // call succeeds without writing (the muxer would refuse it).
  AviError Write(std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame);

  // Writes the index and closes the file; later calls do nothing.
  AviError Close();

  bool HasStream() const { return m_stream != nullptr; }
  bool HasFormat() const { return m_headerWritten; }
  std::int64_t SamplesWritten() const { return m_samplesWritten; }
  // The media library's words for the failure of the last call, e.g. "No
  // space left on device"; empty when it succeeded or failed a check of ours.
  const std::string& LibraryError() const { return m_libraryError; }

 private:
  CAviFile() = default;
  AviError LibraryFailed(AviError error, int code);

  AVFormatContext* m_context = nullptr;
  AVStream* m_stream = nullptr;
  bool m_headerWritten = false;
  bool m_closed = false;
  std::int64_t m_lastPosition = -1;
  std::int64_t m_samplesWritten = 0;
  std::string m_libraryError;
};
