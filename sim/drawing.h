// Plain drawing on anything that takes pixels: the test page is drawn into a
// picture once, the per-frame marks straight into the pipe buffers.
#pragma once

#include <cstdint>

#include "sim/sim_driver.h"

namespace sim {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

class PixelSink {
 public:
  virtual ~PixelSink() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void Put(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) = 0;
};

// Writes into a picture; pixels outside it are dropped.
class PictureSink final : public PixelSink {
 public:
  explicit PictureSink(Picture& picture) : m_picture(picture) {}
  int Width() const override { return m_picture.width; }
  int Height() const override { return m_picture.height; }
  void Put(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) override;

 private:
  Picture& m_picture;
};

Picture MakePicture(int width, int height, Rgb fill);

void FillRect(PixelSink& sink, int x, int y, int w, int h, Rgb c);
void FillCircle(PixelSink& sink, int cx, int cy, int radius, Rgb c);
// A line of the given thickness (a square brush) from (x0, y0) to (x1, y1).
void DrawLine(PixelSink& sink, int x0, int y0, int x1, int y1, int thickness, Rgb c);
void FillTriangle(PixelSink& sink, int x0, int y0, int x1, int y1, int x2, int y2, Rgb c);
void DrawString(PixelSink& sink, int x, int y, const char* text, int scale, Rgb c);

}  // namespace sim
