#include "sim/document_scene.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <sstream>

namespace sim {
namespace {

constexpr const char* kSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
constexpr const char* kSerifBold = "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf";

constexpr const char* kHeading = "A Letter About Rivers";
constexpr const char* kBody =
    "The river that runs past our school begins as a small spring in the hills. "
    "Every spring the water rises and carries soft mud down to the fields, "
    "where farmers have grown wheat and barley for many hundreds of years. "
    "Children often ask why the water never stops flowing. The answer is rain: "
    "clouds drift in from the sea, cool over the high ground and fall again as "
    "showers that feed the streams. Last week our class walked along the bank "
    "with a notebook and counted seven kinds of birds, three old bridges and "
    "one patient heron standing quite still in the shallow water.";

// The flat page before it is laid on the desk: about A4's proportions.
constexpr int kPageWidth = 1000;
constexpr int kPageHeight = 1414;
constexpr int kMargin = 80;

struct FaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct LibraryDeleter {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
using FacePtr = std::unique_ptr<std::remove_pointer_t<FT_Face>, FaceDeleter>;
using LibraryPtr = std::unique_ptr<std::remove_pointer_t<FT_Library>, LibraryDeleter>;

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream stream(text);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// Text in one face and size: measures and draws ink (0 paper .. 255 print).
class TextLayer {
 public:
  TextLayer(FT_Face face, int pixelSize) : m_face(face) { FT_Set_Pixel_Sizes(face, 0, pixelSize); }

  int Advance(const std::string& text) const {
    long width = 0;
    for (const char c : text) {
      if (FT_Load_Char(m_face, static_cast<unsigned char>(c), FT_LOAD_DEFAULT) == 0) width += m_face->glyph->advance.x;
    }
    return static_cast<int>(width >> 6);
  }

  int LineHeight() const { return static_cast<int>(m_face->size->metrics.height >> 6); }
  int Ascender() const { return static_cast<int>(m_face->size->metrics.ascender >> 6); }

  void Draw(cv::Mat& ink, int x, int baseline, const std::string& text) const {
    long penX = static_cast<long>(x) << 6;
    for (const char c : text) {
      if (FT_Load_Char(m_face, static_cast<unsigned char>(c), FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot glyph = m_face->glyph;
      const FT_Bitmap& bitmap = glyph->bitmap;
      const int left = static_cast<int>(penX >> 6) + glyph->bitmap_left;
      const int top = baseline - glyph->bitmap_top;
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        const int y = top + static_cast<int>(row);
        if (y < 0 || y >= ink.rows) continue;
        for (unsigned col = 0; col < bitmap.width; ++col) {
          const int px = left + static_cast<int>(col);
          if (px < 0 || px >= ink.cols) continue;
          std::uint8_t& cell = ink.at<std::uint8_t>(y, px);
          cell = std::max(cell, bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + col]);
        }
      }
      penX += glyph->advance.x;
    }
  }

 private:
  FT_Face m_face;
};

// Lays `words` out in lines no wider than `width`, from `y`; returns the next line's top.
int DrawParagraph(cv::Mat& ink, const TextLayer& layer, const std::vector<std::string>& words, int x, int y,
                  int width) {
  const int space = layer.Advance(" ");
  std::string line;
  auto flush = [&] {
    layer.Draw(ink, x, y + layer.Ascender(), line);
    y += layer.LineHeight();
    line.clear();
  };
  for (const std::string& word : words) {
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && layer.Advance(candidate) + space > width) flush();
    line = line.empty() ? word : line + " " + word;
  }
  if (!line.empty()) flush();
  return y;
}

cv::Mat RenderFlatPage() {
  FT_Library rawLibrary = nullptr;
  if (FT_Init_FreeType(&rawLibrary) != 0) return {};
  const LibraryPtr library(rawLibrary);
  FT_Face rawSerif = nullptr;
  FT_Face rawBold = nullptr;
  if (FT_New_Face(library.get(), kSerif, 0, &rawSerif) != 0) return {};
  const FacePtr serif(rawSerif);
  if (FT_New_Face(library.get(), kSerifBold, 0, &rawBold) != 0) return {};
  const FacePtr bold(rawBold);

  cv::Mat ink = cv::Mat::zeros(kPageHeight, kPageWidth, CV_8U);
  const int width = kPageWidth - 2 * kMargin;
  int y = kMargin;
  y = DrawParagraph(ink, TextLayer(bold.get(), 56), SplitWords(kHeading), kMargin, y, width);
  const int rule = y + 10;
  y += 30;
  DrawParagraph(ink, TextLayer(serif.get(), 44), SplitWords(kBody), kMargin, y, width);

  // Dark grey print on slightly warm paper, with a blue rule under the heading.
  cv::Mat page(kPageHeight, kPageWidth, CV_8UC3, cv::Scalar(236, 244, 248));
  cv::line(page, {kMargin, rule}, {kPageWidth - kMargin, rule}, cv::Scalar(170, 90, 40), 5);
  const cv::Vec3f print(40, 35, 30);
  for (int r = 0; r < page.rows; ++r) {
    for (int c = 0; c < page.cols; ++c) {
      const float a = ink.at<std::uint8_t>(r, c) / 255.0f;
      if (a == 0) continue;
      cv::Vec3b& px = page.at<cv::Vec3b>(r, c);
      for (int k = 0; k < 3; ++k) px[k] = static_cast<std::uint8_t>(px[k] * (1 - a) + print[k] * a);
    }
  }
  return page;
}

// The places in shares of the picture: centre, turn (degrees) and the page's
// height; the far (top) edge is drawn a little narrower, as seen from a camera
// in front of the desk.
struct Place {
  double cx, cy, turn, height, taper;
};
constexpr std::array<Place, kDocumentPlaces> kPlaces{{
    {0.50, 0.50, 4.0, 0.86, 0.05},
    {0.42, 0.52, -6.0, 0.80, 0.04},
    {0.58, 0.48, 9.0, 0.78, 0.06},
    {0.48, 0.50, -2.5, 0.90, 0.03},
    {0.55, 0.53, 14.0, 0.72, 0.07},
}};

}  // namespace

const std::vector<std::string>& DocumentSceneWords() {
  static const std::vector<std::string> words = [] {
    std::vector<std::string> all = SplitWords(kHeading);
    for (std::string& w : SplitWords(kBody)) all.push_back(std::move(w));
    return all;
  }();
  return words;
}

std::array<ScenePoint, 4> DocumentSceneCorners(int width, int height, int place) {
  const Place& p = kPlaces[static_cast<std::size_t>(((place % kDocumentPlaces) + kDocumentPlaces) % kDocumentPlaces)];
  const double h = p.height * height;
  const double w = h * kPageWidth / kPageHeight;
  const double top = w * (1 - p.taper);
  const std::array<ScenePoint, 4> flat{{{-top / 2, -h / 2}, {top / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}}};
  const double angle = p.turn * M_PI / 180.0;
  std::array<ScenePoint, 4> corners;
  for (std::size_t i = 0; i < 4; ++i) {
    corners[i] = {p.cx * width + flat[i].x * std::cos(angle) - flat[i].y * std::sin(angle),
                  p.cy * height + flat[i].x * std::sin(angle) + flat[i].y * std::cos(angle)};
  }
  return corners;
}

Picture RenderDocumentScene(int width, int height, int place) {
  static const cv::Mat flat = RenderFlatPage();
  if (flat.empty() || width <= 0 || height <= 0) return {};
  // A wooden desk: dark brown with a grain along x.
  cv::Mat desk(height, width, CV_8UC3);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const double grain = 8 * std::sin(r * 0.21 + 3 * std::sin(c * 0.013)) + 4 * std::sin(r * 0.05);
      desk.at<cv::Vec3b>(r, c) =
          cv::Vec3b(cv::saturate_cast<std::uint8_t>(40 + grain), cv::saturate_cast<std::uint8_t>(62 + grain),
                    cv::saturate_cast<std::uint8_t>(92 + grain));
    }
  }
  const auto corners = DocumentSceneCorners(width, height, place);
  // Shrunk close to its size on the desk first, so the print is averaged, not sampled.
  const double h = std::hypot(corners[3].x - corners[0].x, corners[3].y - corners[0].y);
  const double scale = std::min(1.0, h / kPageHeight);
  cv::Mat shrunk;
  cv::resize(flat, shrunk, cv::Size(), scale, scale, cv::INTER_AREA);
  const float sw = static_cast<float>(shrunk.cols);
  const float sh = static_cast<float>(shrunk.rows);
  const cv::Point2f source[4] = {{0, 0}, {sw, 0}, {sw, sh}, {0, sh}};
  cv::Point2f target[4];
  for (std::size_t i = 0; i < 4; ++i) target[i] = {static_cast<float>(corners[i].x), static_cast<float>(corners[i].y)};
  const cv::Mat transform = cv::getPerspectiveTransform(source, target);
  cv::Mat scene = desk.clone();
  cv::warpPerspective(shrunk, scene, transform, scene.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);

  // A lamp off to the upper left: bright there, a third darker at the far corner.
  const double lampX = 0.2 * width;
  const double lampY = 0.1 * height;
  const double reach = std::hypot(width, height);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      const double d = std::hypot(c - lampX, r - lampY) / reach;
      const double light = 1.0 - 0.38 * d * d - 0.12 * d;
      cv::Vec3b& px = scene.at<cv::Vec3b>(r, c);
      for (int k = 0; k < 3; ++k) px[k] = cv::saturate_cast<std::uint8_t>(px[k] * light);
    }
  }
  Picture picture{width, height, {}};
  picture.bgr.assign(scene.data, scene.data + scene.total() * 3);
  return picture;
}

}  // namespace sim
