// Reading a page's text and laying it, invisible, over the page image: a
// one-page PDF from the text recogniser's own renderer.
#pragma once

#include <opencv2/core/mat.hpp>
#include <string>

namespace scan {

// The document's pages measure their longer side as A4's (297 mm): the
// resolution a page is stated at follows from its pixel size.
int PageResolution(const cv::Size& pageSize);

struct PageTextResult {
  std::string error;  // empty on success
  std::string text;   // what was read, UTF-8
};

// Reads `page` (8-bit BGR, light already evened) in `languages` and writes
// `pdfPath`: the JPEG file at `jpegPath` (the same page, any size) as the
// page's picture with the text over it, on the calling thread alone (see
// ocr_threads.h).
PageTextResult ReadPageToPdf(const cv::Mat& page, const std::string& jpegPath, const std::string& pdfPath,
                             const std::string& languages);

}  // namespace scan
