// Full frames: the packed bitmap's rows are the sample, byte for byte.
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
}

#include "output/movie_compressor.h"

namespace {

// Tells readers that the rows run bottom-up, as a positive bitmap height says.
constexpr char kBottomUpTag[] = "BottomUp";

class CFullFrameCompressor final : public IMovieCompressor {
 public:
  explicit CFullFrameCompressor(const PackedBitmapInfo& frame) : m_frame(frame) {}

  bool Describe(AVCodecParameters& format) const override {
    format.codec_type = AVMEDIA_TYPE_VIDEO;
    format.codec_id = AV_CODEC_ID_RAWVIDEO;
    format.codec_tag = 0;  // uncompressed RGB
    format.format = AV_PIX_FMT_BGR24;
    format.bits_per_coded_sample = 24;
    format.width = m_frame.width;
    format.height = m_frame.height;
    av_freep(&format.extradata);
    format.extradata_size = 0;
    if (m_frame.bottomUp) {
      format.extradata = static_cast<std::uint8_t*>(av_mallocz(sizeof kBottomUpTag + AV_INPUT_BUFFER_PADDING_SIZE));
      if (format.extradata == nullptr) return false;
      std::memcpy(format.extradata, kBottomUpTag, sizeof kBottomUpTag);
      format.extradata_size = sizeof kBottomUpTag;
    }
    return true;
  }

  AviError Compress(const std::uint8_t* rows, std::int64_t position, const MovieSampleSink& sink) override {
    return sink(position, {rows, m_frame.imageBytes}, true);
  }

  AviError Finish(const MovieSampleSink&) override { return AviError::kNone; }

 private:
  PackedBitmapInfo m_frame;
};

}  // namespace

std::unique_ptr<IMovieCompressor> OpenFullFrameCompressor(const PackedBitmapInfo& frame) {
  return std::make_unique<CFullFrameCompressor>(frame);
}
