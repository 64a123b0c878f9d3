#include "broadcast/h264_encoder.h"

#include <algorithm>
#include <atomic>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

void CH264Encoder::ContextDeleter::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void CH264Encoder::FrameDeleter::operator()(AVFrame* f) const { av_frame_free(&f); }
void CH264Encoder::PacketDeleter::operator()(AVPacket* p) const { av_packet_free(&p); }
void CH264Encoder::ScalerDeleter::operator()(SwsContext* s) const { sws_freeContext(s); }

namespace {

std::atomic<int> g_openEncoders{0};

}  // namespace

int CH264Encoder::OpenEncoders() { return g_openEncoders.load(); }

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

CH264Encoder::~CH264Encoder() { Close(); }

std::string CH264Encoder::Open(const H264Settings& settings) {
  Close();
  // 4:2:0 halves the chroma: odd sizes cannot be encoded.
  if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 != 0 || settings.height % 2 != 0) {
    return "the picture size " + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
           " cannot be encoded";
  }
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  if (codec == nullptr) return "this FFmpeg has no libx264 encoder";
  std::unique_ptr<AVCodecContext, ContextDeleter> context(avcodec_alloc_context3(codec));
  if (!context) return "out of memory";

  const int fps = std::max(1, settings.nominalFps);
  const std::int64_t bitrate = static_cast<std::int64_t>(std::max(100, settings.bitrateKbit)) * 1000;
  context->width = settings.width;
  context->height = settings.height;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->time_base = AVRational{1, 1000};
  context->framerate = AVRational{fps, 1};
  context->bit_rate = bitrate;
  // A one-second buffer caps the peaks a server's ingest sees.
  context->rc_max_rate = bitrate;
  context->rc_buffer_size = static_cast<int>(bitrate);
  context->max_b_frames = 0;
  // Key frames come by time (Encode); this only bounds a stalled clock.
  context->gop_size = fps * std::max(1, settings.keyIntervalMs / 1000);
  context->thread_count = std::max(1, settings.threads);
  context->color_range = AVCOL_RANGE_MPEG;
  context->colorspace = AVCOL_SPC_BT709;
  context->color_primaries = AVCOL_PRI_BT709;
  context->color_trc = AVCOL_TRC_BT709;
  if (settings.globalHeader) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(context->priv_data, "preset", "ultrafast", 0);
  av_opt_set(context->priv_data, "tune", "zerolatency", 0);
  av_opt_set(context->priv_data, "forced-idr", "1", 0);

  if (const int result = avcodec_open2(context.get(), codec, nullptr); result < 0) {
    return "libx264 refused the settings: " + AvErrorText(result);
  }
  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
  if (!frame || !packet) return "out of memory";
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = settings.width;
  frame->height = settings.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return "out of memory";
  std::unique_ptr<SwsContext, ScalerDeleter> scaler(sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGR24,
                                                                   settings.width, settings.height, AV_PIX_FMT_YUV420P,
                                                                   SWS_BILINEAR, nullptr, nullptr, nullptr));
  if (!scaler) return "no BGR to 4:2:0 conversion";
  // Limited-range BT.709 output, as the stream declares.
  const int* coefficients = sws_getCoefficients(SWS_CS_ITU709);
  sws_setColorspaceDetails(scaler.get(), coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);

  m_settings = settings;
  m_context = std::move(context);
  m_frame = std::move(frame);
  m_packet = std::move(packet);
  m_scaler = std::move(scaler);
  m_anyFrame = false;
  m_keyRequested = false;
  g_openEncoders.fetch_add(1);
  return {};
}

void CH264Encoder::Close() {
  if (m_context) g_openEncoders.fetch_sub(1);
  m_scaler.reset();
  m_packet.reset();
  m_frame.reset();
  m_context.reset();
}

bool CH264Encoder::Encode(std::span<const std::uint8_t> bgr, int rowBytes, std::int64_t ptsMs, const PacketSink& sink,
                          std::string& error) {
  if (!m_context) {
    error = "the encoder is not open";
    return false;
  }
  const std::size_t needed = static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(m_settings.height);
  if (rowBytes < m_settings.width * 3 || bgr.size() < needed) {
    error = "the picture does not match the encoder's size";
    return false;
  }
  // The encoder may still hold a reference to the last picture's planes.
  if (const int result = av_frame_make_writable(m_frame.get()); result < 0) {
    error = AvErrorText(result);
    return false;
  }
  const std::uint8_t* sourcePlanes[1] = {bgr.data()};
  const int sourceStrides[1] = {rowBytes};
  sws_scale(m_scaler.get(), sourcePlanes, sourceStrides, 0, m_settings.height, m_frame->data, m_frame->linesize);
  m_frame->pts = ptsMs;
  const bool keyDue = !m_anyFrame || m_keyRequested || ptsMs - m_lastKeyMs >= m_settings.keyIntervalMs;
  m_keyRequested = false;
  m_frame->pict_type = keyDue ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
  if (keyDue) m_lastKeyMs = ptsMs;
  m_anyFrame = true;
  if (const int result = avcodec_send_frame(m_context.get(), m_frame.get()); result < 0) {
    error = "encoding failed: " + AvErrorText(result);
    return false;
  }
  return Drain(sink, error);
}

bool CH264Encoder::Flush(const PacketSink& sink, std::string& error) {
  if (!m_context) return true;
  if (const int result = avcodec_send_frame(m_context.get(), nullptr); result < 0 && result != AVERROR_EOF) {
    error = "encoding failed: " + AvErrorText(result);
    return false;
  }
  return Drain(sink, error);
}

bool CH264Encoder::Drain(const PacketSink& sink, std::string& error) {
  for (;;) {
    const int result = avcodec_receive_packet(m_context.get(), m_packet.get());
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0) {
      error = "encoding failed: " + AvErrorText(result);
      return false;
    }
    const bool taken = sink(*m_packet);
    av_packet_unref(m_packet.get());
    if (!taken) return false;
  }
}
