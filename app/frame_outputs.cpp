#include "app/frame_outputs.h"

#include <utility>

#include <QAction>

#include "app/shared_keys.h"
#include "app/web_address.h"
#include "app/web_address_window.h"
#include "broadcast/broadcast_push.h"
#include "broadcast/live_h264_feed.h"
#include "broadcast/push_overlay.h"
#include "liveview/frame_taps.h"
#include "liveview/live_view.h"
#include "panel/remocon_dlg.h"

CFrameOutputs::CFrameOutputs(QWidget& frame, CFrameTaps& taps, CLiveView& view, CRemoconDlg& panel,
                             std::function<bool()> frameGone)
    : m_frame(frame),
      m_taps(taps),
      m_view(view),
      m_panel(panel),
      m_frameGone(std::move(frameGone)),
      m_broadcastState(std::make_shared<CPushState>()) {}

CFrameOutputs::~CFrameOutputs() {
  StopBroadcast();
  StopH264Feed();
}

bool CFrameOutputs::StartBroadcast(const PushSettings& settings, std::string& error) {
  if (m_pBroadcast || m_frameGone()) {
    error = "a push is already running";
    return false;
  }
  m_pBroadcast = CBroadcastPush::Start(settings, error, m_broadcastState, H264Feed());
  if (!m_pBroadcast) return false;
  m_pPushOverlay = new CPushOverlay(m_broadcastState, &m_view);
  connect(m_pPushOverlay, &CPushOverlay::statusLineChanged, &m_panel, &CRemoconDlg::SetBroadcastText);
  m_pPushOverlay->Refresh();
  m_panel.SetBroadcastText(QString::fromStdString(PushStatusLine(m_broadcastState->Snapshot())));
  return true;
}

void CFrameOutputs::StopBroadcast() {
  if (!m_pBroadcast) return;
  m_pBroadcast->Stop();
  m_pBroadcast.reset();
  if (m_pPushOverlay != nullptr) m_pPushOverlay->Refresh();
}

std::shared_ptr<CLiveH264Feed> CFrameOutputs::H264Feed() {
  if (!m_pH264Feed && !m_frameGone()) {
    m_pH264Feed = std::make_shared<CLiveH264Feed>();
    m_pH264Feed->Start();
    m_taps.Add(*m_pH264Feed);
  }
  return m_pH264Feed;
}

void CFrameOutputs::StopH264Feed() {
  if (!m_pH264Feed) return;
  // Once Remove returns, the worker never calls the feed again.
  m_taps.Remove(*m_pH264Feed);
  m_pH264Feed->Stop();
}

void CFrameOutputs::CreateWebAddressAction(CSharedKeys& keys) {
  m_pSharedKeys = &keys;
  m_actWebAddress = std::make_unique<QAction>(QStringLiteral("Show web address\u2026"));
  connect(m_actWebAddress.get(), &QAction::triggered, this, [this] { ShowWebAddress(); });
}

QAction* CFrameOutputs::WebAddressAction() const { return m_strWebAddress.isEmpty() ? nullptr : m_actWebAddress.get(); }

void CFrameOutputs::ShowWebAddress() {
  if (m_frameGone() || m_strWebAddress.isEmpty()) return;
  // Looked up as the window opens: the machine may have joined the room's
  // network since the start.
  const QString address = ReachableWebAddress(m_strWebAddress, LocalAddresses());
  if (!m_pWebAddress || m_pWebAddress->Address() != address) {
    m_pWebAddress = std::make_unique<CWebAddressWindow>(address, &m_frame);
    if (m_pSharedKeys) m_pSharedKeys->Share(*m_pWebAddress);
  }
  m_pWebAddress->show();
  m_pWebAddress->raise();
  m_pWebAddress->activateWindow();
}

void CFrameOutputs::HideWebAddress() {
  if (m_pWebAddress) m_pWebAddress->hide();
}
