#include "test_movie_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace movie_test {

namespace {

void PutLittle32(std::uint8_t* at, std::uint32_t value) { std::memcpy(at, &value, 4); }
void PutLittle16(std::uint8_t* at, std::uint16_t value) { std::memcpy(at, &value, 2); }

int StrideOf(int width) { return (width * 3 + 3) & ~3; }

std::string RunAndCapture(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    *status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  *status = pclose(pipe);
  return output;
}

}  // namespace

std::vector<std::uint8_t> MakePackedBitmap(int width, int height, int seed) {
  const int stride = StrideOf(width);
  std::vector<std::uint8_t> packed(40 + static_cast<std::size_t>(stride) * height, 0);
  PutLittle32(&packed[0], 40);
  PutLittle32(&packed[4], static_cast<std::uint32_t>(width));
  PutLittle32(&packed[8], static_cast<std::uint32_t>(height));
  PutLittle16(&packed[12], 1);
  PutLittle16(&packed[14], 24);
  PutLittle32(&packed[20], static_cast<std::uint32_t>(stride * height));
  // Smooth gradients with a moving edge: compressible, and every frame differs.
  for (int stored = 0; stored < height; ++stored) {
    const int y = height - 1 - stored;
    std::uint8_t* row = &packed[40 + static_cast<std::size_t>(stored) * stride];
    for (int x = 0; x < width; ++x) {
      row[3 * x + 0] = static_cast<std::uint8_t>((x * 255) / (width > 1 ? width - 1 : 1));
      row[3 * x + 1] = static_cast<std::uint8_t>((y * 255) / (height > 1 ? height - 1 : 1));
      row[3 * x + 2] = static_cast<std::uint8_t>(((x + seed * 7) % width) < width / 2 ? 200 : 40);
    }
  }
  return packed;
}

std::vector<std::uint8_t> TopDownPixels(const std::vector<std::uint8_t>& packed) {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::memcpy(&width, &packed[4], 4);
  std::memcpy(&height, &packed[8], 4);
  const int stride = StrideOf(width);
  std::vector<std::uint8_t> pixels;
  pixels.reserve(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = &packed[40 + static_cast<std::size_t>(height - 1 - y) * stride];
    pixels.insert(pixels.end(), row, row + width * 3);
  }
  return pixels;
}

MovieReadBack ReadMovie(const std::string& path, bool decode) {
  // The reader's own notes (deprecated full-range formats) are not findings.
  av_log_set_level(AV_LOG_ERROR);
  MovieReadBack result;
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return result;
  if (avformat_find_stream_info(input, nullptr) < 0 || input->nb_streams != 1) {
    avformat_close_input(&input);
    return result;
  }
  result.opened = true;
  AVStream* stream = input->streams[0];
  const AVCodecParameters* format = stream->codecpar;
  result.codec = avcodec_get_name(format->codec_id);
  result.codecTag = format->codec_tag;
  result.width = format->width;
  result.height = format->height;
  result.rateNum = stream->avg_frame_rate.num;
  result.rateDen = stream->avg_frame_rate.den;
  result.timeBaseNum = stream->time_base.num;
  result.timeBaseDen = stream->time_base.den;
  result.streamLength = stream->nb_frames;

  AVCodecContext* decoder = nullptr;
  SwsContext* toBgr = nullptr;
  if (decode) {
    const AVCodec* codec = avcodec_find_decoder(format->codec_id);
    decoder = codec != nullptr ? avcodec_alloc_context3(codec) : nullptr;
    if (decoder == nullptr || avcodec_parameters_to_context(decoder, format) < 0 ||
        avcodec_open2(decoder, codec, nullptr) < 0) {
      ++result.decodeErrors;
      avcodec_free_context(&decoder);
    }
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto takeFrames = [&] {
    while (avcodec_receive_frame(decoder, frame) >= 0) {
      toBgr = sws_getCachedContext(toBgr, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                   frame->width, frame->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
      std::vector<std::uint8_t> picture(static_cast<std::size_t>(frame->width) * frame->height * 3);
      std::uint8_t* planes[] = {picture.data()};
      const int strides[] = {frame->width * 3};
      sws_scale(toBgr, frame->data, frame->linesize, 0, frame->height, planes, strides);
      result.pictures.push_back(std::move(picture));
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(input, packet) >= 0) {
    if (packet->size > 0) {
      result.packets.push_back({packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts, packet->size,
                                (packet->flags & AV_PKT_FLAG_KEY) != 0});
      if (decoder != nullptr) {
        if (avcodec_send_packet(decoder, packet) < 0) ++result.decodeErrors;
        takeFrames();
      }
    }
    av_packet_unref(packet);
  }
  if (decoder != nullptr) {
    avcodec_send_packet(decoder, nullptr);
    takeFrames();
  }
  sws_freeContext(toBgr);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&input);
  return result;
}

std::vector<std::uint8_t> StreamHeaderChunk(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto at = bytes.find("strh");
  if (at == std::string::npos || at + 8 > bytes.size()) return {};
  std::uint32_t size = 0;
  std::memcpy(&size, bytes.data() + at + 4, 4);
  if (at + 8 + size > bytes.size()) return {};
  return {bytes.begin() + static_cast<std::ptrdiff_t>(at + 8),
          bytes.begin() + static_cast<std::ptrdiff_t>(at + 8 + size)};
}

void ExpectFullFrameStream(const MovieReadBack& movie, int width, int height) {
  EXPECT_EQ(movie.codec, "rawvideo");
  EXPECT_EQ(movie.width, width);
  EXPECT_EQ(movie.height, height);
  EXPECT_EQ(movie.rateNum, 15);
  EXPECT_EQ(movie.rateDen, 1);
}

bool ProbeWithoutErrors(const std::string& path, std::string* stderrText) {
  int status = 0;
  const std::string said = RunAndCapture(
      "ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" + path + "' 2>&1 >/dev/null",
      &status);
  if (stderrText != nullptr) *stderrText = said;
  return status == 0 && said.empty();
}

std::vector<std::string> ConstantRateFrameHashes(const std::string& path) {
  int status = 0;
  const std::string out =
      RunAndCapture("ffmpeg -v error -i '" + path + "' -vsync cfr -r 15 -f framemd5 - 2>/dev/null", &status);
  std::vector<std::string> hashes;
  if (status != 0) return hashes;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    hashes.push_back(line.substr(line.rfind(',') + 1));
  }
  return hashes;
}

}  // namespace movie_test
