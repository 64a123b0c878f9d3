#include "sim/picture_renderer.h"

#include <algorithm>
#include <cstring>

#include "sim/document_scene.h"

namespace sim {

namespace {

class PipeSink final : public PixelSink {
 public:
  explicit PipeSink(PipePixelWriter& writer) : m_writer(writer) {}
  int Width() const override { return m_writer.Width(); }
  int Height() const override { return m_writer.Height(); }
  void Put(int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) override { m_writer.Put(x, y, b, g, r); }

 private:
  PipePixelWriter& m_writer;
};

}  // namespace

bool PictureRenderer::Prepare(const RenderKey& key) {
  if (m_key && *m_key == key) return true;
  const auto geometry = GeometryForMode(key.mode);
  if (!geometry) return false;
  m_geometry = *geometry;

  Picture page;
  if (key.documentPlace >= 0 && !key.externalInput)
    page = RenderDocumentScene(geometry->width, geometry->height, key.documentPlace);
  if (page.bgr.empty()) page = RenderTestPage({geometry->width, geometry->height, m_seed, key.externalInput, key.lamp});
  page = ZoomAboutCentre(page, key.zoomQ);
  BoxBlur(page, key.blurRadius);
  AdjustSharpness(page, key.sharpQ);
  if (key.emboss) Emboss(page);
  if (key.edge) EdgeDetect(page);
  m_colour = ColourTransform(key.colour);
  m_colour.ApplyTo(page);
  m_page = std::move(page);

  PipeSpans spans;
  for (int p = 0; p < kPipeCount; ++p) {
    m_pipes[p].assign(m_geometry.NaturalPipeBytes(p), 0);
    spans[p] = m_pipes[p];
  }
  ScatterPicture(m_geometry, m_page.bgr, spans);
  m_key = key;
  return true;
}

bool PictureRenderer::ProduceFrame(const RenderKey& key, std::uint64_t frameNumber, const PipeSpans& shares) {
  if (!Prepare(key)) return false;
  for (int p = 0; p < kPipeCount; ++p) {
    const std::size_t copied = std::min(shares[p].size(), m_pipes[p].size());
    std::memcpy(shares[p].data(), m_pipes[p].data(), copied);
    std::memset(shares[p].data() + copied, 0, shares[p].size() - copied);
  }
  // The document scene is a still page: no marks over the print.
  if (key.documentPlace >= 0) return true;
  PipePixelWriter writer(m_geometry.width, m_geometry.height, shares);
  PipeSink sink(writer);
  DrawFrameMarks(sink, m_seed, frameNumber, m_colour);
  return true;
}

Picture PictureRenderer::RenderPicture(const RenderKey& key, std::uint64_t frameNumber) {
  if (!Prepare(key)) return {};
  Picture picture = m_page;
  if (key.documentPlace >= 0) return picture;
  PictureSink sink(picture);
  DrawFrameMarks(sink, m_seed, frameNumber, m_colour);
  return picture;
}

}  // namespace sim
