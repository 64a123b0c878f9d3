#include "sim/picture_effects.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace sim {

namespace {

std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

int Luma(const std::uint8_t* p) { return (p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8; }

// One blur pass along rows (step 3) or columns (step 3 * width).
void BlurLine(const std::uint8_t* src, std::uint8_t* dst, int count, std::size_t step, int radius) {
  const int window = 2 * radius + 1;
  for (int c = 0; c < 3; ++c) {
    int sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += src[std::clamp(i, 0, count - 1) * step + c];
    for (int i = 0; i < count; ++i) {
      dst[i * step + c] = static_cast<std::uint8_t>(sum / window);
      sum += src[std::min(i + radius + 1, count - 1) * step + c] - src[std::max(i - radius, 0) * step + c];
    }
  }
}

}  // namespace

Picture ZoomAboutCentre(const Picture& in, int zoomQ) {
  if (zoomQ <= 256) return in;
  Picture out = in;
  const int w = in.width, h = in.height;
  std::vector<int> column(static_cast<std::size_t>(w));
  for (int x = 0; x < w; ++x) column[x] = std::clamp(w / 2 + ((x - w / 2) * 256) / zoomQ, 0, w - 1);
  for (int y = 0; y < h; ++y) {
    const int sy = std::clamp(h / 2 + ((y - h / 2) * 256) / zoomQ, 0, h - 1);
    const std::uint8_t* srcRow = in.bgr.data() + static_cast<std::size_t>(sy) * w * 3;
    std::uint8_t* dstRow = out.bgr.data() + static_cast<std::size_t>(y) * w * 3;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* s = srcRow + column[x] * 3;
      dstRow[x * 3] = s[0];
      dstRow[x * 3 + 1] = s[1];
      dstRow[x * 3 + 2] = s[2];
    }
  }
  return out;
}

void BoxBlur(Picture& picture, int radius) {
  if (radius <= 0 || picture.bgr.empty()) return;
  const int w = picture.width, h = picture.height;
  std::vector<std::uint8_t> tmp(picture.bgr.size());
  for (int y = 0; y < h; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * w * 3;
    BlurLine(picture.bgr.data() + row, tmp.data() + row, w, 3, radius);
  }
  for (int x = 0; x < w; ++x) {
    BlurLine(tmp.data() + x * 3, picture.bgr.data() + x * 3, h, static_cast<std::size_t>(w) * 3, radius);
  }
}

void AdjustSharpness(Picture& picture, int sharpQ) {
  if (sharpQ == 0 || picture.bgr.empty()) return;
  Picture soft = picture;
  BoxBlur(soft, 1);
  // Sharpening goes twice as far as softening: a soft picture is only blurred once.
  const int amount = sharpQ > 0 ? 2 * sharpQ : sharpQ;
  for (std::size_t i = 0; i < picture.bgr.size(); ++i) {
    const int v = picture.bgr[i];
    picture.bgr[i] = Clamp(v + ((v - soft.bgr[i]) * amount) / 64);
  }
}

void Emboss(Picture& picture) {
  const int w = picture.width, h = picture.height;
  const Picture src = picture;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* a =
          src.bgr.data() + (static_cast<std::size_t>(std::max(y - 1, 0)) * w + std::max(x - 1, 0)) * 3;
      const std::uint8_t* b =
          src.bgr.data() + (static_cast<std::size_t>(std::min(y + 1, h - 1)) * w + std::min(x + 1, w - 1)) * 3;
      const std::uint8_t v = Clamp(128 + Luma(a) - Luma(b));
      std::uint8_t* d = picture.bgr.data() + (static_cast<std::size_t>(y) * w + x) * 3;
      d[0] = d[1] = d[2] = v;
    }
  }
}

void EdgeDetect(Picture& picture) {
  const int w = picture.width, h = picture.height;
  const Picture src = picture;
  auto at = [&](int x, int y) {
    return Luma(src.bgr.data() + (static_cast<std::size_t>(std::clamp(y, 0, h - 1)) * w + std::clamp(x, 0, w - 1)) * 3);
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t v = Clamp(2 * (std::abs(at(x + 1, y) - at(x - 1, y)) + std::abs(at(x, y + 1) - at(x, y - 1))));
      std::uint8_t* d = picture.bgr.data() + (static_cast<std::size_t>(y) * w + x) * 3;
      d[0] = d[1] = d[2] = v;
    }
  }
}

ColourTransform::ColourTransform(const ColourSettings& s) : m_color(s.color) {
  const int lift = (s.brightQ * 96) / 64 + (s.lamp ? 24 : 0);
  for (int v = 0; v < 256; ++v) {
    m_red[v] = Clamp((v * s.redGainQ) / 64);
    m_blue[v] = Clamp((v * s.blueGainQ) / 64);
    const std::uint8_t lit = Clamp(v + lift);
    m_level[v] = s.negative ? static_cast<std::uint8_t>(255 - lit) : lit;
  }
}

Rgb ColourTransform::Apply(Rgb in) const {
  std::uint8_t px[3] = {m_blue[in.b], in.g, m_red[in.r]};
  if (!m_color) px[0] = px[1] = px[2] = static_cast<std::uint8_t>(Luma(px));
  return Rgb{m_level[px[2]], m_level[px[1]], m_level[px[0]]};
}

void ColourTransform::ApplyTo(Picture& picture) const {
  for (std::size_t i = 0; i + 2 < picture.bgr.size(); i += 3) {
    const Rgb out = Apply(Rgb{picture.bgr[i + 2], picture.bgr[i + 1], picture.bgr[i]});
    picture.bgr[i] = out.b;
    picture.bgr[i + 1] = out.g;
    picture.bgr[i + 2] = out.r;
  }
}

}  // namespace sim
