#include "output/avi_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <limits>

std::unique_ptr<CAviFile> CAviFile::Create(const std::string& path, AviError& error) {
  AVFormatContext* context = nullptr;
  if (avformat_alloc_output_context2(&context, nullptr, "avi", path.c_str()) < 0 || context == nullptr) {
    error = AviError::kNoAviSupport;
    return nullptr;
  }
  if (avio_open(&context->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
    avformat_free_context(context);
    error = AviError::kCannotCreateFile;
    return nullptr;
  }
  std::unique_ptr<CAviFile> file(new CAviFile);
  file->m_context = context;
  error = AviError::kNone;
  return file;
}

CAviFile::~CAviFile() { Close(); }

AviError CAviFile::AddVideoStream(const AviStreamInfo& info) {
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
  if (m_closed || m_stream == nullptr || m_headerWritten) return AviError::kFormatRefused;
  const int width = m_stream->codecpar->width;
  const int height = m_stream->codecpar->height;
  if (avcodec_parameters_copy(m_stream->codecpar, &format) < 0) return AviError::kFormatRefused;
  if (m_stream->codecpar->width != width || m_stream->codecpar->height != height) return AviError::kFormatRefused;
  if (avformat_write_header(m_context, nullptr) < 0) return AviError::kFormatRefused;
  // From here on the muxer holds state that only the trailer releases, so
  // Close writes (or tries) the trailer even when this flush fails.
  m_headerWritten = true;
  avio_flush(m_context->pb);
  if (m_context->pb->error < 0) return AviError::kWriteFailed;
  return AviError::kNone;
}

AviError CAviFile::Write(std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame) {
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
  if (result < 0) return AviError::kWriteFailed;
  // Flushed per sample, so a failure is seen on the sample that caused it and
  // everything before it is already in the file.
  avio_flush(m_context->pb);
  if (m_context->pb->error < 0) return AviError::kWriteFailed;
  m_lastPosition = position;
  ++m_samplesWritten;
  return AviError::kNone;
}

AviError CAviFile::Close() {
  if (m_closed) return AviError::kNone;
  m_closed = true;
  AviError error = AviError::kNone;
  if (m_headerWritten && av_write_trailer(m_context) < 0) error = AviError::kCloseFailed;
  if (m_context->pb != nullptr && m_context->pb->error < 0) error = AviError::kCloseFailed;
  if (avio_closep(&m_context->pb) < 0) error = AviError::kCloseFailed;
  avformat_free_context(m_context);
  m_context = nullptr;
  m_stream = nullptr;
  return error;
}
