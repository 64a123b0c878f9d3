#include "sim/test_page.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "sim/bitmap_font.h"

namespace sim {

namespace {

constexpr Rgb kPaper{245, 242, 232};
constexpr Rgb kGrid{190, 210, 240};
constexpr Rgb kInk{20, 20, 30};
constexpr Rgb kBorder{60, 60, 60};
constexpr Rgb kArrow{220, 30, 30};
constexpr Rgb kTitleBand{30, 50, 120};
constexpr Rgb kWhite{255, 255, 255};
constexpr std::array<Rgb, 8> kBars = {
    {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0}, {255, 0, 255}, {255, 0, 0}, {0, 0, 255}, {0, 0, 0}}};

constexpr const char* kWords[] = {"CAMERA", "DOCUMENT", "LENS",  "FOCUS",  "ZOOM",   "PICTURE", "LAMP",   "COLOUR",
                                  "FRAME",  "MONITOR",  "PAGE",  "TEXT",   "SHARP",  "BRIGHT",  "MIRROR", "FLIP",
                                  "EDGE",   "EMBOSS",   "INPUT", "PRESET", "MEMORY", "SLOT",    "USB",    "PIPE",
                                  "THE",    "QUICK",    "BROWN", "FOX",    "JUMPS",  "OVER",    "LAZY",   "DOG"};

// A small deterministic generator: the page must be the same for a seed.
class Xorshift {
 public:
  explicit Xorshift(std::uint32_t seed) : m_state(seed ? seed : 0x9E3779B9u) {}
  std::uint32_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
  }

 private:
  std::uint32_t m_state;
};

int TextScale(int width) { return std::max(1, width / 256); }
int Unit(int width) { return std::max(4, width / 64); }

void DrawArrowToCorner(PixelSink& sink, int w, int h) {
  const int u = Unit(w);
  const int tipX = u / 2 + 2, tipY = u / 2 + 2;
  const int tailX = w / 5, tailY = h / 4;
  const int head = 2 * u;
  DrawLine(sink, tailX, tailY, tipX + head / 2, tipY + head / 2, std::max(2, u / 3), kArrow);
  FillTriangle(sink, tipX, tipY, tipX + head, tipY + head / 3, tipX + head / 3, tipY + head, kArrow);
  const int s = TextScale(w);
  DrawString(sink, u, tailY + u / 2, "TOP LEFT", s, kArrow);
}

void DrawColourBars(PixelSink& sink, int x, int y, int w, int h) {
  for (int i = 0; i < 8; ++i) {
    const int x0 = x + (w * i) / 8, x1 = x + (w * (i + 1)) / 8;
    FillRect(sink, x0, y, x1 - x0, h, kBars[i]);
  }
}

void DrawDocument(PixelSink& sink, const PageContent& c) {
  const int w = c.width, h = c.height, u = Unit(w), s = TextScale(w);
  for (int x = 0; x < w; x += w / 16) FillRect(sink, x, 0, 1, h, kGrid);
  for (int y = 0; y < h; y += w / 16) FillRect(sink, 0, y, w, 1, kGrid);

  FillRect(sink, w / 4, u / 2, w - w / 4 - u / 2, 9 * s + u / 2, kTitleBand);
  DrawString(sink, w / 4 + u / 2, u / 2 + u / 4 + s, "TAVROCAM TQ400 TEST PAGE", s, kWhite);

  char size[32];
  std::snprintf(size, sizeof size, "%d X %d", w, h);
  DrawString(sink, w / 4, u + 12 * s, size, s, kInk);

  Xorshift rng(c.seed);
  const int lineHeight = 10 * s;
  const int left = w / 4, right = w - u;
  int y = u + 12 * s + 2 * lineHeight;
  for (int line = 0; line < 8 && y + lineHeight < h * 58 / 100; ++line, y += lineHeight) {
    std::string text;
    const int indent = (line % 4 == 0) ? 2 : 0;
    for (;;) {
      const std::string word = kWords[rng.Next() % std::size(kWords)];
      const std::string next = text.empty() ? word : text + " " + word;
      if (left + TextWidth(next, s) + indent * kGlyphAdvance * s > right) break;
      text = next;
    }
    DrawString(sink, left + indent * kGlyphAdvance * s, y, text.c_str(), s, kInk);
  }

  FillRect(sink, w / 20, h * 60 / 100, w - w / 10, std::max(1, u / 8), kBorder);  // the ball's track
  DrawColourBars(sink, w / 20, h * 68 / 100, w - w / 10, h * 16 / 100);
}

void DrawExternalInput(PixelSink& sink, const PageContent& c) {
  const int w = c.width, h = c.height, s = TextScale(w);
  DrawColourBars(sink, 0, 0, w, h * 2 / 3);
  for (int x = 0; x < w; ++x) {
    const auto v = static_cast<std::uint8_t>((x * 255) / std::max(1, w - 1));
    FillRect(sink, x, h * 2 / 3, 1, h - h * 2 / 3, Rgb{v, v, v});
  }
  FillRect(sink, w / 4, h / 3, TextWidth("EXTERNAL INPUT", 2 * s) + 4 * s, 11 * s, kTitleBand);
  DrawString(sink, w / 4 + 2 * s, h / 3 + 2 * s, "EXTERNAL INPUT", 2 * s, kWhite);
}

struct MarkLayout {
  int boxX, boxY, boxW, boxH, scale;
  int ballX, ballY, radius;
};

MarkLayout LayoutMarks(int w, int h, std::uint32_t seed, std::uint64_t frame) {
  MarkLayout m{};
  const int u = Unit(w);
  m.scale = TextScale(w);
  m.boxW = TextWidth("FRAME 000000", m.scale) + 2 * m.scale;
  m.boxH = 9 * m.scale;
  m.boxX = w - m.boxW - u / 2;
  m.boxY = u + 11 * m.scale;
  m.radius = std::max(3, w / 48);
  const int left = w / 20 + m.radius, span = std::max(1, w - w / 10 - 2 * m.radius);
  // The ball bounces along its track, a 60th of the track each frame.
  const std::uint64_t step = std::max(1, span / 60);
  const std::uint64_t pos = ((seed % 97) * static_cast<std::uint64_t>(span) / 97 + frame * step) % (2 * span);
  m.ballX = left + static_cast<int>(pos < static_cast<std::uint64_t>(span) ? pos : 2 * span - pos);
  m.ballY = h * 60 / 100;
  return m;
}

}  // namespace

Picture RenderTestPage(const PageContent& c) {
  Picture page = MakePicture(c.width, c.height, kPaper);
  PictureSink sink(page);
  if (c.externalInput) {
    DrawExternalInput(sink, c);
  } else {
    DrawDocument(sink, c);
  }
  const int u = Unit(c.width), s = TextScale(c.width);
  const char* status = c.externalInput ? (c.lamp ? "INPUT EXT  LAMP ON" : "INPUT EXT  LAMP OFF")
                                       : (c.lamp ? "INPUT INT  LAMP ON" : "INPUT INT  LAMP OFF");
  DrawString(sink, c.width / 20, c.height * 88 / 100, status, s, kInk);
  DrawArrowToCorner(sink, c.width, c.height);
  const int edge = std::max(1, u / 4);
  FillRect(sink, 0, 0, c.width, edge, kBorder);
  FillRect(sink, 0, c.height - edge, c.width, edge, kBorder);
  FillRect(sink, 0, 0, edge, c.height, kBorder);
  FillRect(sink, c.width - edge, 0, edge, c.height, kBorder);
  return page;
}

void DrawFrameMarks(PixelSink& sink, std::uint32_t seed, std::uint64_t frameNumber, const ColourTransform& colour) {
  const MarkLayout m = LayoutMarks(sink.Width(), sink.Height(), seed, frameNumber);
  char text[32];
  std::snprintf(text, sizeof text, "FRAME %06llu", static_cast<unsigned long long>(frameNumber % 1000000));
  FillRect(sink, m.boxX, m.boxY, m.boxW, m.boxH, colour.Apply(kWhite));
  DrawString(sink, m.boxX + m.scale, m.boxY + m.scale, text, m.scale, colour.Apply(kInk));
  FillCircle(sink, m.ballX, m.ballY, m.radius, colour.Apply(Rgb{255, 140, 0}));
  FillCircle(sink, m.ballX, m.ballY, m.radius / 3, colour.Apply(kInk));
}

}  // namespace sim
