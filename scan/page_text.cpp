#include "scan/page_text.h"

#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <opencv2/imgproc.hpp>

#include "scan/ocr_threads.h"
#include "scan/text_model.h"

namespace scan {
namespace {

constexpr double kLongSideInches = 297.0 / 25.4;
// Camera pages carry small print in few pixels; the recogniser reads them
// far better at twice the size.
constexpr int kUpscaleBelow = 1600;

struct TextDeleter {
  void operator()(char* text) const { delete[] text; }
};

}  // namespace

int PageResolution(const cv::Size& pageSize) {
  const int longSide = std::max(pageSize.width, pageSize.height);
  return std::max(1, static_cast<int>(std::lround(longSide / kLongSideInches)));
}

PageTextResult ReadPageToPdf(const cv::Mat& page, const std::string& jpegPath, const std::string& pdfPath,
                             const std::string& languages) {
  if (page.empty() || page.type() != CV_8UC3) return {"No page picture to read", {}};
  if (std::string missing = MissingModelMessage(languages); !missing.empty()) return {missing, {}};
  const std::string suffix = ".pdf";
  if (pdfPath.size() <= suffix.size() || pdfPath.compare(pdfPath.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return {"The page file must end in .pdf", {}};
  }

  const int factor = std::max(page.cols, page.rows) < kUpscaleBelow ? 2 : 1;
  cv::Mat rgb;
  cv::cvtColor(page, rgb, cv::COLOR_BGR2RGB);
  if (factor != 1) cv::resize(rgb, rgb, cv::Size(), factor, factor, cv::INTER_CUBIC);

  UseOneOcrThread();
  tesseract::TessBaseAPI api;
  if (api.Init(TextModelFolder().c_str(), languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
    return {"The text recogniser could not load \"" + languages + "\"", {}};
  }
  api.SetPageSegMode(tesseract::PSM_AUTO);
  api.SetImage(rgb.data, rgb.cols, rgb.rows, 3, static_cast<int>(rgb.step));
  // The upscaled copy is read; the page keeps its size through the resolution.
  api.SetSourceResolution(PageResolution(page.size()) * factor);
  // The renderer embeds this file's JPEG data as it is instead of encoding again.
  api.SetInputName(jpegPath.c_str());
  if (api.Recognize(nullptr) != 0) return {"The text of the page could not be read", {}};

  const std::string base = pdfPath.substr(0, pdfPath.size() - suffix.size());
  {
    tesseract::TessPDFRenderer renderer(base.c_str(), api.GetDatapath(), false);
    if (!renderer.BeginDocument("page") || !renderer.AddImage(&api) || !renderer.EndDocument() || !renderer.happy()) {
      std::error_code ignored;
      std::filesystem::remove(pdfPath, ignored);
      return {"The page could not be written as PDF", {}};
    }
  }
  const std::unique_ptr<char, TextDeleter> text(api.GetUTF8Text());
  return {{}, text ? std::string(text.get()) : std::string()};
}

}  // namespace scan
