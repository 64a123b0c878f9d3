// The codec library's encoders: each frame is converted from the bitmap's
// BGR rows to the encoder's picture format, then encoded.
#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "output/movie_codecs.h"
#include "output/movie_compressor.h"

namespace {

using Quality = LibraryEncoderTraits::Quality;

struct CodecContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

AVPixelFormat PictureFormatFor(const AVCodec& codec, const LibraryEncoderTraits& traits) {
  if (codec.pix_fmts == nullptr) return AV_PIX_FMT_NONE;
  if (traits.pixelFormat != nullptr) {
    const AVPixelFormat wanted = av_get_pix_fmt(traits.pixelFormat);
    for (const AVPixelFormat* format = codec.pix_fmts; *format != AV_PIX_FMT_NONE; ++format) {
      if (*format == wanted) return wanted;
    }
    return AV_PIX_FMT_NONE;
  }
  return avcodec_find_best_pix_fmt_of_list(codec.pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
}

// Quality 1..100 (75 by default) onto the encoder's own scale.
void ApplyQuality(AVCodecContext& context, const LibraryEncoderTraits& traits, int quality) {
  quality = std::clamp(quality, 1, 100);
  switch (traits.quality) {
    case Quality::kNone: break;
    case Quality::kConstantRateFactor:  // 10 (best) .. 49.6; 75 gives 20
      av_opt_set_double(context.priv_data, "crf", 10.0 + (100 - quality) * 0.4, 0);
      break;
    case Quality::kQuantiser: {  // 2 (best) .. 31
      const int quantiser = 2 + (100 - quality) * 29 / 99;
      context.flags |= AV_CODEC_FLAG_QSCALE;
      context.global_quality = FF_QP2LAMBDA * quantiser;
      break;
    }
  }
}

class CLibraryCompressor final : public IMovieCompressor {
 public:
  explicit CLibraryCompressor(const PackedBitmapInfo& frame) : m_frame(frame) {}

  bool Open(const LibraryEncoderTraits& traits, int quality) {
    const AVCodec* codec = avcodec_find_encoder_by_name(traits.name);
    if (codec == nullptr) return false;
    const AVPixelFormat pictureFormat = PictureFormatFor(*codec, traits);
    if (pictureFormat == AV_PIX_FMT_NONE) return false;

    m_context.reset(avcodec_alloc_context3(codec));
    if (!m_context) return false;
    AVCodecContext& context = *m_context;
    context.width = m_frame.width;
    context.height = m_frame.height;
    context.pix_fmt = pictureFormat;
    context.time_base = {1, 15};
    context.framerate = {15, 1};
    context.gop_size = traits.keyFrameInterval;
    context.max_b_frames = 0;  // samples leave in the order and at the positions they came in
    context.thread_count = 0;
    if (std::string_view(traits.name) == "libx264") {
      av_opt_set(context.priv_data, "preset", "veryfast", 0);
      av_opt_set(context.priv_data, "tune", "zerolatency", 0);
    }
    ApplyQuality(context, traits, quality);
    if (avcodec_open2(&context, codec, nullptr) < 0) return false;

    m_picture.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_picture || !m_packet) return false;
    m_picture->format = pictureFormat;
    m_picture->width = m_frame.width;
    m_picture->height = m_frame.height;
    if (av_frame_get_buffer(m_picture.get(), 0) < 0) return false;

    m_scaler.reset(sws_getContext(m_frame.width, m_frame.height, AV_PIX_FMT_BGR24, m_frame.width, m_frame.height,
                                  pictureFormat, SWS_BILINEAR, nullptr, nullptr, nullptr));
    return m_scaler != nullptr;
  }

  bool Describe(AVCodecParameters& format) const override {
    return avcodec_parameters_from_context(&format, m_context.get()) >= 0;
  }

  AviError Compress(const std::uint8_t* rows, std::int64_t position, const MovieSampleSink& sink) override {
    if (av_frame_make_writable(m_picture.get()) < 0) return AviError::kCompressFailed;
    // A bottom-up bitmap is read from its last stored row upwards.
    const std::uint8_t* top =
        m_frame.bottomUp ? rows + static_cast<std::ptrdiff_t>(m_frame.height - 1) * m_frame.stride : rows;
    const int stride = m_frame.bottomUp ? -m_frame.stride : m_frame.stride;
    const std::uint8_t* const sources[] = {top};
    const int strides[] = {stride};
    if (sws_scale(m_scaler.get(), sources, strides, 0, m_frame.height, m_picture->data, m_picture->linesize) !=
        m_frame.height) {
      return AviError::kCompressFailed;
    }
    m_picture->pts = position;
    if (avcodec_send_frame(m_context.get(), m_picture.get()) < 0) return AviError::kCompressFailed;
    return Drain(sink);
  }

  AviError Finish(const MovieSampleSink& sink) override {
    if (avcodec_send_frame(m_context.get(), nullptr) < 0) return AviError::kCompressFailed;
    return Drain(sink);
  }

 private:
  AviError Drain(const MovieSampleSink& sink) {
    for (;;) {
      const int result = avcodec_receive_packet(m_context.get(), m_packet.get());
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return AviError::kNone;
      if (result < 0) return AviError::kCompressFailed;
      const AviError written = sink(m_packet->pts, {m_packet->data, static_cast<std::size_t>(m_packet->size)},
                                    (m_packet->flags & AV_PKT_FLAG_KEY) != 0);
      av_packet_unref(m_packet.get());
      if (written != AviError::kNone) return written;
    }
  }

  PackedBitmapInfo m_frame;
  std::unique_ptr<AVCodecContext, CodecContextDeleter> m_context;
  std::unique_ptr<AVFrame, FrameDeleter> m_picture;
  std::unique_ptr<AVPacket, PacketDeleter> m_packet;
  std::unique_ptr<SwsContext, ScalerDeleter> m_scaler;
};

}  // namespace

std::unique_ptr<IMovieCompressor> OpenLibraryCompressor(const char* encoderName, const PackedBitmapInfo& frame,
                                                        int quality) {
  const LibraryEncoderTraits* traits = FindLibraryEncoder(encoderName);
  if (traits == nullptr) return nullptr;
  auto compressor = std::make_unique<CLibraryCompressor>(frame);
  if (!compressor->Open(*traits, quality)) return nullptr;
  return compressor;
}
