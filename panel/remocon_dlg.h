// The REMOCON panel: the camera's remote control beside the main window.
#pragma once

#include <QDialog>
#include <QString>

#include "camera/command_log.h"
#include "panel/remocon_host.h"

class CRemoconDlg : public QDialog, public ICommandLogSink {
  Q_OBJECT
 public:
  CRemoconDlg(IRemoconHost& host, QWidget* parent = nullptr);
  ~CRemoconDlg() override;

  // Builds the controls and reads the camera's settings into them; the main
  // window calls it once, after it has opened the camera link.
  bool Create();

  void AppendHexLog(std::span<const std::uint8_t> bytes) override;

  const QString& LogText() const { return m_strLog; }

 public slots:
  void OnRemoconStart();

 protected:
  void reject() override;

 private:
  IRemoconHost& m_host;
  bool m_bCreated = false;
  QString m_strLog;
  QString m_strRate;
};
