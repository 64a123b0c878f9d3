#include "broadcast/fragmented_mp4.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "broadcast/h264_encoder.h"

namespace {
constexpr int kIoBufferBytes = 64 * 1024;
}

CFragmentedMp4::CFragmentedMp4() = default;

CFragmentedMp4::~CFragmentedMp4() { Close(); }

int CFragmentedMp4::Collect(void* opaque, std::uint8_t* data, int size) {
  auto& self = *static_cast<CFragmentedMp4*>(opaque);
  self.m_collected.insert(self.m_collected.end(), data, data + size);
  return size;
}

std::string CFragmentedMp4::Open(const AVCodecContext& encoder, std::vector<std::uint8_t>& init) {
  Close();
  if (encoder.extradata_size <= 0) return "the encoder has no stream header";
  if (avformat_alloc_output_context2(&m_context, nullptr, "mp4", nullptr) < 0 || m_context == nullptr)
    return "no MP4 muxer";
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
  m_context->pb = avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &Collect, nullptr);
  if (m_context->pb == nullptr) {
    av_free(buffer);
    Close();
    return "out of memory";
  }
  AVStream* stream = avformat_new_stream(m_context, nullptr);
  if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, &encoder) < 0) {
    Close();
    return "out of memory";
  }
  stream->time_base = AVRational{1, 1000};
  AVDictionary* options = nullptr;
  // Fragments on request (one per packet), each standing on its own.
  av_dict_set(&options, "movflags", "empty_moov+default_base_moof+frag_custom+omit_tfhd_offset", 0);
  m_collected.clear();
  const int result = avformat_write_header(m_context, &options);
  av_dict_free(&options);
  if (result < 0) {
    Close();
    return "the MP4 muxer refused the stream: " + AvErrorText(result);
  }
  avio_flush(m_context->pb);
  init = std::move(m_collected);
  m_collected.clear();
  return {};
}

bool CFragmentedMp4::Write(AVPacket& packet, std::vector<std::uint8_t>& out, std::string& error) {
  if (m_context == nullptr) {
    error = "the MP4 stream is not open";
    return false;
  }
  packet.stream_index = 0;
  av_packet_rescale_ts(&packet, AVRational{1, 1000}, m_context->streams[0]->time_base);
  m_collected.clear();
  int result = av_write_frame(m_context, &packet);
  if (result >= 0) result = av_write_frame(m_context, nullptr);  // cuts the fragment
  if (result < 0) {
    error = "the MP4 muxer refused a packet: " + AvErrorText(result);
    return false;
  }
  avio_flush(m_context->pb);
  out = std::move(m_collected);
  m_collected.clear();
  return true;
}

void CFragmentedMp4::Close() {
  if (m_context == nullptr) return;
  if (m_context->pb != nullptr) {
    av_freep(&m_context->pb->buffer);
    avio_context_free(&m_context->pb);
  }
  avformat_free_context(m_context);
  m_context = nullptr;
}
