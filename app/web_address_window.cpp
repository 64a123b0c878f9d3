#include "app/web_address_window.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/qr_code.h"

CWebAddressWindow::CWebAddressWindow(const QString& url, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_url(url) {
  setWindowTitle(QStringLiteral("Web address"));
  auto* layout = new QVBoxLayout(this);
  m_labelCode = new QLabel(this);
  m_labelCode->setAlignment(Qt::AlignCenter);
  const QImage code = QrCodeImage(url.toUtf8(), kModulePixels);
  if (code.isNull())
    m_labelCode->setText(QStringLiteral("The address is too long for a QR code."));
  else
    m_labelCode->setPixmap(QPixmap::fromImage(code));
  layout->addWidget(m_labelCode);
  auto* address = new QLabel(url, this);
  address->setAlignment(Qt::AlignCenter);
  address->setTextFormat(Qt::PlainText);
  // Selectable, so that it can be copied into a message to a remote viewer.
  address->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  layout->addWidget(address);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QImage CWebAddressWindow::Code() const { return m_labelCode->pixmap().toImage(); }
