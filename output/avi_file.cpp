#include "output/avi_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <limits>

namespace {

std::string LibraryText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

std::unique_ptr<CAviFile> CAviFile::Create(const std::string& path, AviError& error, std::string& libraryError) {
  AVFormatContext* context = nullptr;
  libraryError.clear();
  if (const int code = avformat_alloc_output_context2(&context, nullptr, "avi", path.c_str());
      code < 0 || context == nullptr) {
    if (code < 0) libraryError = LibraryText(code);
    error = AviError::kNoAviSupport;
    return nullptr;
  }
  if (const int code = avio_open(&context->pb, path.c_str(), AVIO_FLAG_WRITE); code < 0) {
    avformat_free_context(context);
    libraryError = LibraryText(code);
    error = AviError::kCannotCreateFile;
    return nullptr;
  }
  std::unique_ptr<CAviFile> file(new CAviFile);
  file->m_context = context;
  error = AviError::kNone;
  return file;
}

CAviFile::~CAviFile() { Close(); }

AviError CAviFile::LibraryFailed(AviError error, int code) {
  m_libraryError = LibraryText(code);
  return error;
}

AviError CAviFile::AddVideoStream(const AviStreamInfo& info) {
  m_libraryError.clear();
  if (m_closed || m_stream != nullptr || info.scale == 0 || info.rate == 0) return AviError::kCannotCreateStream;
  AVStream* stream = avformat_new_stream(m_context, nullptr);
  if (stream == nullptr) return AviError::kCannotCreateStream;
  const AVRational sampleTime{static_cast<int>(info.scale), static_cast<int>(info.rate)};
  stream->time_base = sampleTime;
  stream->avg_frame_rate = av_inv_q(sampleTime);
  stream->r_frame_rate = av_inv_q(sampleTime);
  stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  stream->codecpar->width = info.frame.right - info.frame.left;
  stream->codecpar->height = info.frame.bottom - info.frame.top;
  m_stream = stream;
  return AviError::kNone;
}

AviError CAviFile::SetFormat(const AVCodecParameters& format) {
  m_libraryError.clear();
  if (m_closed || m_stream == nullptr || m_headerWritten) return AviError::kFormatRefused;
  const int width = m_stream->codecpar->width;
  const int height = m_stream->codecpar->height;
  if (const int code = avcodec_parameters_copy(m_stream->codecpar, &format); code < 0)
    return LibraryFailed(AviError::kFormatRefused, code);
  if (m_stream->codecpar->width != width || m_stream->codecpar->height != height) return AviError::kFormatRefused;
  if (const int code = avformat_write_header(m_context, nullptr); code < 0)
    return LibraryFailed(AviError::kFormatRefused, code);
  // From here on the muxer holds state that only the trailer releases, so
  // Close writes (or tries) the trailer even when this flush fails.
  m_headerWritten = true;
  avio_flush(m_context->pb);
  if (m_context->pb->error < 0) return LibraryFailed(AviError::kWriteFailed, m_context->pb->error);
  return AviError::kNone;
}

AviError CAviFile::Write(std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame) {
  m_libraryError.clear();
  if (m_closed || !m_headerWritten || position < 0) return AviError::kWriteFailed;
  if (sample.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return AviError::kWriteFailed;
  if (position <= m_lastPosition) return AviError::kNone;

  AVPacket* packet = av_packet_alloc();
  if (packet == nullptr) return AviError::kWriteFailed;
  // The muxer only reads the sample; it never keeps or frees it.
  packet->data = const_cast<std::uint8_t*>(sample.data());
  packet->size = static_cast<int>(sample.size());
  packet->pts = position;
  packet->dts = position;
  packet->duration = 1;
  packet->stream_index = m_stream->index;
  packet->flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
  const int result = av_write_frame(m_context, packet);
  av_packet_free(&packet);
  if (result < 0) return LibraryFailed(AviError::kWriteFailed, result);
  // Flushed per sample, so a failure is seen on the sample that caused it and
  // everything before it is already in the file.
  avio_flush(m_context->pb);
  if (m_context->pb->error < 0) return LibraryFailed(AviError::kWriteFailed, m_context->pb->error);
  m_lastPosition = position;
  ++m_samplesWritten;
  return AviError::kNone;
}

AviError CAviFile::Close() {
  if (m_closed) return AviError::kNone;
  m_closed = true;
  m_libraryError.clear();
  AviError error = AviError::kNone;
  if (const int code = m_headerWritten ? av_write_trailer(m_context) : 0; code < 0)
    error = LibraryFailed(AviError::kCloseFailed, code);
  if (m_context->pb != nullptr && m_context->pb->error < 0)
    error = LibraryFailed(AviError::kCloseFailed, m_context->pb->error);
  if (const int code = avio_closep(&m_context->pb); code < 0) error = LibraryFailed(AviError::kCloseFailed, code);
  avformat_free_context(m_context);
  m_context = nullptr;
  m_stream = nullptr;
  return error;
}
