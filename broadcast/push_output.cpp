#include "broadcast/push_output.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include "broadcast/h264_encoder.h"

namespace {

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Failures of reaching the server at all: worth another try later.
bool IsPassing(int code) {
  switch (code) {
    case AVERROR(ECONNREFUSED):
    case AVERROR(ETIMEDOUT):
    case AVERROR(EHOSTUNREACH):
    case AVERROR(ENETUNREACH):
    case AVERROR(ENETDOWN):
    case AVERROR(EAGAIN):
    case AVERROR(ECONNRESET):
    case AVERROR(EPIPE):
    case AVERROR_EXIT: return true;
    default: return false;
  }
}

// Name lookup first, so that a host that does not exist is told apart from
// a server that is down for now.
PushOpenResult Resolve(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (found != nullptr) ::freeaddrinfo(found);
  if (result == 0) return {true, false, {}};
  const bool permanent = result == EAI_NONAME
#ifdef EAI_NODATA
                         || result == EAI_NODATA
#endif
      ;
  return {false, permanent, (permanent ? "no such host " : "cannot look up ") + host + ": " + ::gai_strerror(result)};
}

}  // namespace

CPushOutput::CPushOutput(const PushTarget& target, const std::atomic<bool>& stop) : m_target(target), m_stop(stop) {}

CPushOutput::~CPushOutput() { Close(false); }

int CPushOutput::Interrupted(void* opaque) {
  const auto* self = static_cast<const CPushOutput*>(opaque);
  // While finishing, only the deadline counts: the exit itself asked for the trailer.
  if (self->m_stop.load() && !self->m_finishing.load()) return 1;
  const std::int64_t deadline = self->m_deadlineNs.load();
  return deadline != 0 && NowNs() > deadline ? 1 : 0;
}

void CPushOutput::ArmDeadline(std::chrono::milliseconds timeout) {
  m_deadlineNs.store(NowNs() + std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count());
}

PushOpenResult CPushOutput::Open(const AVCodecParameters& encoded, std::chrono::milliseconds timeout) {
  Close(false);
  if (m_target.kind != PushKind::File) {
    if (PushOpenResult looked = Resolve(m_target.host); !looked.ok) return looked;
  }
  AVFormatContext* context = nullptr;
  const int allocated = avformat_alloc_output_context2(&context, nullptr, m_target.muxer.c_str(), m_target.url.c_str());
  if (allocated < 0 || context == nullptr) {
    return {false, true, "this FFmpeg cannot write " + m_target.muxer + ": " + AvErrorText(allocated)};
  }
  m_context = context;
  m_context->interrupt_callback = AVIOInterruptCB{&CPushOutput::Interrupted, this};
  AVStream* stream = avformat_new_stream(m_context, nullptr);
  if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, &encoded) < 0) {
    Close(false);
    return {false, true, "out of memory"};
  }
  stream->time_base = AVRational{1, 1000};

  ArmDeadline(timeout);
  AVDictionary* options = nullptr;
  if (m_target.kind == PushKind::Rtsp) av_dict_set(&options, "rtsp_transport", "tcp", 0);
  // A stream has no start to seek back to for its length.
  if (m_target.kind == PushKind::Rtmp) av_dict_set(&options, "flvflags", "no_duration_filesize", 0);
  if ((m_context->oformat->flags & AVFMT_NOFILE) == 0) {
    const int opened =
        avio_open2(&m_context->pb, m_target.url.c_str(), AVIO_FLAG_WRITE, &m_context->interrupt_callback, &options);
    if (opened < 0) {
      av_dict_free(&options);
      Close(false);
      const bool permanent = m_target.kind == PushKind::File || !IsPassing(opened);
      const std::string what = m_target.kind == PushKind::File ? "cannot create " + m_target.url
                               : permanent ? "the server refused the stream (check the URL and stream key)"
                                           : "cannot connect to " + m_target.display;
      return {false, permanent, what + ": " + AvErrorText(opened)};
    }
    m_ioOpened = true;
  }
  const int written = avformat_write_header(m_context, &options);
  av_dict_free(&options);
  if (written < 0) {
    Close(false);
    const bool permanent = m_target.kind == PushKind::File || !IsPassing(written);
    return {false, permanent,
            (permanent ? "the server refused the stream: " : "cannot start the stream: ") + AvErrorText(written)};
  }
  m_headerWritten = true;
  m_deadlineNs.store(0);
  return {true, false, {}};
}

void CPushOutput::AnnounceNewHeader(const AVCodecParameters& stream) {
  if (stream.extradata == nullptr || stream.extradata_size <= 0) return;
  m_pendingHeader.assign(stream.extradata, stream.extradata + stream.extradata_size);
}

bool CPushOutput::Write(AVPacket& packet, std::chrono::milliseconds timeout, std::string& error) {
  if (!IsOpen()) {
    error = "not connected";
    return false;
  }
  if (!m_pendingHeader.empty()) return WriteWithNewHeader(packet, timeout, error);
  AVStream* stream = m_context->streams[0];
  av_packet_rescale_ts(&packet, AVRational{1, 1000}, stream->time_base);
  packet.stream_index = 0;
  ArmDeadline(timeout);
  const int result = av_write_frame(m_context, &packet);
  m_deadlineNs.store(0);
  if (result < 0) {
    error = (m_stop.load() ? std::string("stopped") : "the connection was lost: " + AvErrorText(result));
    return false;
  }
  return true;
}

bool CPushOutput::WriteWithNewHeader(AVPacket& packet, std::chrono::milliseconds timeout, std::string& error) {
  // The new SPS/PPS go both ways: as the container's new stream header
  // (FLV sends a new sequence header) and in band before the key frame
  // (Matroska and MP4 keep their first header; decoders follow in-band ones).
  const std::vector<std::uint8_t> header = std::move(m_pendingHeader);
  m_pendingHeader.clear();
  struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
  };
  std::unique_ptr<AVPacket, PacketDeleter> joined(av_packet_alloc());
  if (!joined || av_new_packet(joined.get(), static_cast<int>(header.size()) + packet.size) < 0 ||
      av_packet_copy_props(joined.get(), &packet) < 0) {
    error = "out of memory";
    return false;
  }
  std::memcpy(joined->data, header.data(), header.size());
  std::memcpy(joined->data + header.size(), packet.data, static_cast<std::size_t>(packet.size));
  if (std::uint8_t* side = av_packet_new_side_data(joined.get(), AV_PKT_DATA_NEW_EXTRADATA, header.size())) {
    std::memcpy(side, header.data(), header.size());
  }
  return Write(*joined, timeout, error);
}

void CPushOutput::BeginFinish() {
  m_finishing.store(true);
  ArmDeadline(std::chrono::seconds(3));
}

void CPushOutput::Close(bool finish) {
  if (m_context == nullptr) return;
  if (finish && m_headerWritten) {
    // The trailer is the file's index; a server just sees the stream end.
    // A short deadline of its own, so that a dead server cannot hold the exit.
    BeginFinish();
    av_write_trailer(m_context);
  }
  if (m_ioOpened) avio_closep(&m_context->pb);
  m_finishing.store(false);
  avformat_free_context(m_context);
  m_context = nullptr;
  m_headerWritten = false;
  m_ioOpened = false;
  m_deadlineNs.store(0);
  m_pendingHeader.clear();
}
