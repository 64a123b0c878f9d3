// H.264 through libx264 in 4:2:0, tuned for live pushes: no B-frames, no
// look-ahead, a key frame at least every two seconds, a capped bit rate.
// Takes the view's BGR rows and presentation times in milliseconds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

struct H264Settings {
  int width = 0;
  int height = 0;
  int bitrateKbit = 2500;
  // The camera's usual rate; timestamps decide, this only guides the rate control.
  int nominalFps = 15;
  int keyIntervalMs = 2000;
  // Container wants SPS/PPS once, out of band (FLV, MP4, Matroska).
  bool globalHeader = false;
  int threads = 1;
};

class CH264Encoder {
 public:
  // Receives each finished packet (time base 1/1000 s).
  using PacketSink = std::function<bool(AVPacket& packet)>;

  ~CH264Encoder();

  // Empty on success, else why libx264 could not be opened.
  std::string Open(const H264Settings& settings);
  bool IsOpen() const { return m_context != nullptr; }
  int Width() const { return m_settings.width; }
  int Height() const { return m_settings.height; }
  // Valid after Open; the stream header a global-header container needs.
  const AVCodecContext* Context() const { return m_context.get(); }

  // Encodes one picture of the opened size. `ptsMs` must grow. False when
  // the encoder failed or the sink refused a packet (the sink's reason wins).
  bool Encode(std::span<const std::uint8_t> bgr, int rowBytes, std::int64_t ptsMs, const PacketSink& sink,
              std::string& error);
  // Drains what the encoder still holds (nothing with no B-frames and no
  // look-ahead, but libx264 may still keep one).
  bool Flush(const PacketSink& sink, std::string& error);
  void Close();
  // The next picture is encoded as a key frame (a viewer joined).
  void RequestKeyFrame() { m_keyRequested = true; }
  // Encoders open in this program now, for the state and its tests.
  static int OpenEncoders();

 private:
  struct ContextDeleter {
    void operator()(AVCodecContext* c) const;
  };
  struct FrameDeleter {
    void operator()(AVFrame* f) const;
  };
  struct PacketDeleter {
    void operator()(AVPacket* p) const;
  };
  struct ScalerDeleter {
    void operator()(SwsContext* s) const;
  };

  bool Drain(const PacketSink& sink, std::string& error);

  H264Settings m_settings;
  std::unique_ptr<AVCodecContext, ContextDeleter> m_context;
  std::unique_ptr<AVFrame, FrameDeleter> m_frame;
  std::unique_ptr<AVPacket, PacketDeleter> m_packet;
  std::unique_ptr<SwsContext, ScalerDeleter> m_scaler;
  std::int64_t m_lastKeyMs = 0;
  bool m_anyFrame = false;
  bool m_keyRequested = false;
};

// FFmpeg's text for an error code.
std::string AvErrorText(int code);
