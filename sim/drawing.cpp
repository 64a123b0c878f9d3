#include "sim/drawing.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "sim/bitmap_font.h"

namespace sim {

void PictureSink::Put(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  if (x < 0 || y < 0 || x >= m_picture.width || y >= m_picture.height) return;
  std::uint8_t* p = m_picture.bgr.data() + (static_cast<std::size_t>(y) * m_picture.width + x) * 3;
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

Picture MakePicture(int width, int height, Rgb fill) {
  Picture p;
  p.width = width;
  p.height = height;
  p.bgr.resize(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < p.bgr.size(); i += 3) {
    p.bgr[i] = fill.b;
    p.bgr[i + 1] = fill.g;
    p.bgr[i + 2] = fill.r;
  }
  return p;
}

void FillRect(PixelSink& sink, int x, int y, int w, int h, Rgb c) {
  const int x0 = std::max(0, x), y0 = std::max(0, y);
  const int x1 = std::min(sink.Width(), x + w), y1 = std::min(sink.Height(), y + h);
  for (int yy = y0; yy < y1; ++yy) {
    for (int xx = x0; xx < x1; ++xx) sink.Put(xx, yy, c.b, c.g, c.r);
  }
}

void FillCircle(PixelSink& sink, int cx, int cy, int radius, Rgb c) {
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      if (dx * dx + dy * dy <= radius * radius) sink.Put(cx + dx, cy + dy, c.b, c.g, c.r);
    }
  }
}

void DrawLine(PixelSink& sink, int x0, int y0, int x1, int y1, int thickness, Rgb c) {
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  const int half = thickness / 2;
  int err = dx + dy;
  for (;;) {
    FillRect(sink, x0 - half, y0 - half, thickness, thickness, c);
    if (x0 == x1 && y0 == y1) break;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void FillTriangle(PixelSink& sink, int x0, int y0, int x1, int y1, int x2, int y2, Rgb c) {
  const int minX = std::max(0, std::min({x0, x1, x2})), maxX = std::min(sink.Width() - 1, std::max({x0, x1, x2}));
  const int minY = std::max(0, std::min({y0, y1, y2})), maxY = std::min(sink.Height() - 1, std::max({y0, y1, y2}));
  auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
    return static_cast<long>(bx - ax) * (py - ay) - static_cast<long>(by - ay) * (px - ax);
  };
  for (int y = minY; y <= maxY; ++y) {
    for (int x = minX; x <= maxX; ++x) {
      const long a = edge(x0, y0, x1, y1, x, y), b = edge(x1, y1, x2, y2, x, y), d = edge(x2, y2, x0, y0, x, y);
      if ((a >= 0 && b >= 0 && d >= 0) || (a <= 0 && b <= 0 && d <= 0)) sink.Put(x, y, c.b, c.g, c.r);
    }
  }
}

void DrawString(PixelSink& sink, int x, int y, const char* text, int scale, Rgb c) {
  DrawText(sink, x, y, std::string_view(text), scale, c.b, c.g, c.r);
}

}  // namespace sim
