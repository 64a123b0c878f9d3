#include "server/camera_server.h"

#include <cstdio>

#include "broadcast/h264_encoder.h"
#include "liveview/frame_taps.h"
#include "server/access_token.h"
#include "server/push_state_json.h"

namespace server {

std::string ResolveAccess(CameraServerOptions& options) {
  if (!options.token.empty())
    if (std::string weak = TokenWeakness(options.token); !weak.empty()) return weak;
  if (options.token.empty() && !IsLoopbackHost(options.address.host)) options.token = GenerateToken();
  return {};
}

CCameraServer::CCameraServer(ICameraServerHost& host, CameraServerOptions options)
    : m_host(host), m_options(std::move(options)) {}

CCameraServer::~CCameraServer() { Stop(); }

std::string CCameraServer::Start() {
  if (m_pHttp) return "already started";
  if (std::string refused = ResolveAccess(m_options); !refused.empty()) return refused;
  m_assets.Build();
  m_pRemote = std::make_unique<CPanelRemote>(m_host, m_options.holdLimit);
  m_pScan = std::make_unique<CScanRemote>(m_host);
  m_hub.Start();
  m_feed.Hold(m_host.SharedH264Feed());
  m_host.ShownFrameTaps().Add(m_hub);
  if (m_feed.Own()) m_host.ShownFrameTaps().Add(*m_feed);
  m_bTapping = true;
  m_pGuesses = std::make_unique<CTokenGuessLimiter>(m_options.tokenGuessWindow);
  RouterConfig config;
  config.token = m_options.token;
  config.site.extraHosts = m_options.extraHosts;
  config.guessLimiter = m_pGuesses.get();
  m_pHttp = std::make_unique<CHttpServer>(*this, std::move(config), m_hub, m_options.limits);
  m_pHttp->SetLiveFeed(*m_feed);
  m_pHttp->onClientClosed = [remote = m_pRemote.get()](std::uintptr_t client) { remote->ClientClosed(client); };
  if (m_options.verbose)
    m_pHttp->onRefused = [](const HttpRequest& request, const HttpResponse& response) {
      const auto host = request.Header("Host");
      std::fprintf(stderr, "tavrocam: web: refused %s %s from %s (Host %s): %d %s\n", request.method.c_str(),
                   JsonString(request.path).c_str(), request.clientAddress.c_str(),
                   JsonString(host.value_or("")).c_str(), response.status, response.body.c_str());
    };
  if (std::string failed = m_pHttp->Start(m_options.address.host, m_options.address.port, m_options.tls);
      !failed.empty()) {
    Stop();
    return failed;
  }
  return {};
}

void CCameraServer::Stop() {
  // Waiting connection threads first, so that none waits on this thread
  // while the listener joins them.
  if (m_pRemote) m_pRemote->Shutdown();
  if (m_pScan) m_pScan->Shutdown();
  m_hub.Stop();
  // A shared feed goes on for the push; only its viewers end.
  if (m_feed) m_feed->EndViewers();
  m_feed.StopOwn();
  if (m_pHttp) m_pHttp->Stop();
  if (m_bTapping) {
    m_host.ShownFrameTaps().Remove(m_hub);
    if (m_feed.Own()) m_host.ShownFrameTaps().Remove(*m_feed);
    m_bTapping = false;
  }
}

std::uint16_t CCameraServer::Port() const { return m_pHttp ? m_pHttp->Port() : 0; }

std::string CCameraServer::Url() const {
  std::string url = std::string(m_options.tls.certificatePem.empty() ? "http://" : "https://") +
                    FormatHostPort(m_options.address.host, Port()) + "/";
  if (!m_options.token.empty()) url += "?token=" + m_options.token;
  return url;
}

std::optional<std::string> CCameraServer::StateJson() {
  const PictureRate rate = m_hub.Rate();
  auto panel = m_pRemote->PanelStateMembers();
  if (!panel) return std::nullopt;
  const unsigned mjpegViewers = m_pHttp ? m_pHttp->StreamCount() : 0;
  const unsigned h264Viewers = m_pHttp ? m_pHttp->H264StreamCount() : 0;
  const PushStatus push = m_host.BroadcastStatus();
  const long long bytesPerSecond = static_cast<long long>(rate.fps) * rate.width * rate.height * 3;
  return "{\"width\": " + std::to_string(rate.width) + ", \"height\": " + std::to_string(rate.height) +
         ", \"mode\": " + std::to_string(m_host.CameraMode()) + ", \"frames\": " + std::to_string(rate.frames) +
         ", \"fps\": " + std::to_string(rate.fps) + ", \"bytes_per_second\": " + std::to_string(bytesPerSecond) +
         ", \"viewers\": " + std::to_string(mjpegViewers + h264Viewers) +
         ", \"viewers_mjpeg\": " + std::to_string(mjpegViewers) + ", \"viewers_h264\": " + std::to_string(h264Viewers) +
         ", \"h264_encoders\": " + std::to_string(CH264Encoder::OpenEncoders()) +
         ", \"camera\": " + (m_host.CameraPresent() ? "\"present\"" : "\"absent\"") +
         ", \"push\": " + PushStateJson(push) +
         ", \"last_error\": " + LastErrorJson(platform::Failures().Last(), push) + ", " + *panel + "}";
}

ControlOutcome CCameraServer::RunControlEvent(ControlEvent event, int id, std::uintptr_t client) {
  return m_pRemote->Run(event, id, client);
}

}  // namespace server
