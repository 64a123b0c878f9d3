// A QR code of a short text (a web address) as a black-on-white image, drawn
// from Debian's libqrencode, with the four-module quiet zone readers need.
#pragma once

#include <QByteArray>
#include <QImage>

// Each module is `moduleSize` pixels square. A null image when the text is
// too long for any QR code.
QImage QrCodeImage(const QByteArray& text, int moduleSize);
