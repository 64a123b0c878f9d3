// The camera on the network: the HTTP server, the encoded picture and the
// panel's buttons, started inside the running program.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "broadcast/held_h264_feed.h"
#include "server/camera_server_host.h"
#include "server/frame_hub.h"
#include "server/http_server.h"
#include "server/panel_assets.h"
#include "server/panel_remote.h"
#include "server/request_router.h"
#include "server/scan_remote.h"
#include "server/serve_address.h"
#include "server/token_guess_limiter.h"

namespace server {

struct CameraServerOptions {
  ServeAddress address;
  // Required beyond the loopback; generated there when empty.
  std::string token;
  std::chrono::milliseconds holdLimit = CPanelRemote::kDefaultHoldLimit;
  HttpServerLimits limits;
  // Names beyond the address and the loopback the server answers to.
  std::vector<std::string> extraHosts;
  // Both set: HTTPS.
  TlsCredentials tls;
  // Wrong tokens from one address within this window lock it out until it ends.
  std::chrono::milliseconds tokenGuessWindow = std::chrono::minutes(1);
  // Log refused requests on standard error.
  bool verbose = false;
};

class CCameraServer final : public IRouterBackend {
 public:
  // Made on the user-interface thread, after the main window exists.
  CCameraServer(ICameraServerHost& host, CameraServerOptions options);
  ~CCameraServer() override;
  CCameraServer(const CCameraServer&) = delete;
  CCameraServer& operator=(const CCameraServer&) = delete;

  // Empty on success, else why the server could not start.
  std::string Start();
  // Closes every connection, releases a held button and stops taking
  // pictures. User-interface thread; idempotent.
  void Stop();

  // The address to open, with the token when one is needed.
  std::string Url() const;
  std::uint16_t Port() const;
  const std::string& Token() const { return m_options.token; }
  CFrameHub& Hub() { return m_hub; }
  CLiveH264Feed& LiveFeed() { return *m_feed; }
  CPanelRemote& Remote() { return *m_pRemote; }
  unsigned SlowClientsLetGo() const { return m_pHttp ? m_pHttp->SlowClientsLetGo() : 0; }

 private:
  // IRouterBackend
  std::optional<std::string> StateJson() override;
  std::string LayoutJson() override { return m_assets.LayoutJson(); }
  ControlOutcome RunControlEvent(ControlEvent event, int id, std::uintptr_t client) override;
  std::optional<std::string> SnapshotJpeg() override { return m_hub.SnapshotJpeg(); }
  std::optional<std::string> SnapshotBmp() override { return m_hub.SnapshotBmp(); }
  std::optional<Asset> FindAsset(std::string_view path) override { return m_assets.Find(path); }
  std::optional<ScanStatus> ScanState() override { return m_pScan->Status(); }
  ScanOutcome RunScanAction(ScanAction action) override { return m_pScan->Run(action); }

  ICameraServerHost& m_host;
  CameraServerOptions m_options;
  CFrameHub m_hub;
  CHeldH264Feed m_feed;
  CPanelAssets m_assets;
  std::unique_ptr<CPanelRemote> m_pRemote;
  std::unique_ptr<CScanRemote> m_pScan;
  std::unique_ptr<CTokenGuessLimiter> m_pGuesses;
  std::unique_ptr<CHttpServer> m_pHttp;
  bool m_bTapping = false;
};

// Checks the address and token rules and fills in a generated token where
// one is needed. Empty on success, else the reason to refuse.
std::string ResolveAccess(CameraServerOptions& options);

}  // namespace server
