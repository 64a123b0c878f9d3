// Motion JPEG made by our own baseline encoder: every frame is a complete
// JPEG image, encoded straight from the bitmap's rows into a reused buffer.
#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "jpeg/bgr_encoder.h"
#include "output/movie_compressor.h"

namespace {

class CBuiltinJpegCompressor final : public IMovieCompressor {
 public:
  CBuiltinJpegCompressor(const PackedBitmapInfo& frame, int quality)
      : m_frame(frame),
        m_quality(quality < 1     ? 1
                  : quality > 100 ? 100
                                  : quality) {
    // Room for the worst case at quality 100 and the encoder's byte of slack;
    // a frame that still does not fit gets a larger buffer once.
    m_output.resize(static_cast<std::size_t>(frame.imageBytes) + 64 * 1024);
  }

  bool Ready() const { return m_encoder.Ready(); }

  bool Describe(AVCodecParameters& format) const override {
    format.codec_type = AVMEDIA_TYPE_VIDEO;
    format.codec_id = AV_CODEC_ID_MJPEG;
    format.codec_tag = MKTAG('M', 'J', 'P', 'G');
    format.format = AV_PIX_FMT_YUVJ420P;
    format.color_range = AVCOL_RANGE_JPEG;
    format.bits_per_coded_sample = 24;
    format.width = m_frame.width;
    format.height = m_frame.height;
    return true;
  }

  AviError Compress(const std::uint8_t* rows, std::int64_t position, const MovieSampleSink& sink) override {
    std::int32_t produced = 0;
    const std::int32_t result = m_encoder.EncodeToBuffer({.pixels = rows,
                                                          .width = m_frame.width,
                                                          .height = m_frame.height,
                                                          .rowPad = m_frame.stride - m_frame.width * 3,
                                                          .bottomUp = m_frame.bottomUp},
                                                         m_quality, m_output, produced);
    if (result != JpegSuccess || produced <= 0) return AviError::kCompressFailed;
    return sink(position, {m_output.data(), static_cast<std::size_t>(produced)}, true);
  }

  AviError Finish(const MovieSampleSink&) override { return AviError::kNone; }

 private:
  PackedBitmapInfo m_frame;
  int m_quality;
  std::vector<std::uint8_t> m_output;
  // One record for the whole movie: the encoder keeps its prepared tables
  // between frames.
  CBgrJpegEncoder m_encoder;
};

}  // namespace

std::unique_ptr<IMovieCompressor> OpenBuiltinJpegCompressor(const PackedBitmapInfo& frame, int quality) {
  auto compressor = std::make_unique<CBuiltinJpegCompressor>(frame, quality);
  if (!compressor->Ready()) return nullptr;
  return compressor;
}
