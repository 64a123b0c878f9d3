// "Show web address…": a small window with the web server's address and a
// QR code of it, so that a phone in the room joins by pointing its camera.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;

class CWebAddressWindow : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kModulePixels = 6;

  CWebAddressWindow(const QString& url, QWidget* owner);

  QString Address() const { return m_url; }
  // The code as shown (null when the address was too long for one).
  QImage Code() const;

 private:
  QString m_url;
  QLabel* m_labelCode;
};
