#include "app/qr_code.h"

#include <algorithm>
#include <memory>

#include <qrencode.h>

namespace {

constexpr int kQuietZoneModules = 4;

struct QrCodeDeleter {
  void operator()(QRcode* code) const { QRcode_free(code); }
};

}  // namespace

QImage QrCodeImage(const QByteArray& text, int moduleSize) {
  if (text.isEmpty() || moduleSize <= 0) return {};
  // Medium error correction: a phone reads it off a projector or a laptop's
  // glossy screen; the byte mode keeps every character of the address as it is.
  const std::unique_ptr<QRcode, QrCodeDeleter> code(
      QRcode_encodeData(static_cast<int>(text.size()), reinterpret_cast<const unsigned char*>(text.constData()),
                        /*version=*/0, QR_ECLEVEL_M));
  if (!code) return {};
  const int modules = code->width;
  const int side = (modules + 2 * kQuietZoneModules) * moduleSize;
  QImage image(side, side, QImage::Format_Grayscale8);
  image.fill(255);
  for (int row = 0; row < modules; ++row) {
    for (int column = 0; column < modules; ++column) {
      // Bit 0 of each byte: the module is dark.
      if ((code->data[row * modules + column] & 1) == 0) continue;
      const int x0 = (column + kQuietZoneModules) * moduleSize;
      const int y0 = (row + kQuietZoneModules) * moduleSize;
      for (int y = y0; y < y0 + moduleSize; ++y) {
        uchar* line = image.scanLine(y);
        std::fill(line + x0, line + x0 + moduleSize, uchar{0});
      }
    }
  }
  return image;
}
