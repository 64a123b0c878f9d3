#include "panel/remocon_dlg.h"

#include "app/messages.h"
#include "camera/usb_camera.h"

CRemoconDlg::CRemoconDlg(IRemoconHost& host, QWidget* parent) : QDialog(parent), m_host(host) {
  setWindowTitle(QStringLiteral("REMOCON"));
}

CRemoconDlg::~CRemoconDlg() {
  if (m_bCreated) m_host.Camera().SetLogSink(nullptr);
}

bool CRemoconDlg::Create() {
  if (m_bCreated) return true;
  m_bCreated = true;
  m_host.Camera().SetLogSink(this);
  return true;
}

void CRemoconDlg::AppendHexLog(std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) m_strLog += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
  m_strLog += QStringLiteral("\r\n");
}

void CRemoconDlg::OnRemoconStart() {}

void CRemoconDlg::reject() {
  m_host.SendCamMessage(WM_CAM_SHUTDOWN);
  QDialog::reject();
}
