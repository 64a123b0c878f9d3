#include "scan/scan_page.h"

#include "scan/even_light.h"
#include "scan/page_jpeg.h"
#include "scan/page_outline.h"
#include "scan/page_text.h"
#include "scan/straighten.h"

namespace scan {

std::string_view PageStateName(PageState state) {
  switch (state) {
    case PageState::kWaiting: return "waiting";
    case PageState::kStraightening: return "straightening";
    case PageState::kReading: return "reading text";
    case PageState::kDone: return "done";
    case PageState::kFailed: return "failed";
  }
  return "waiting";
}

bool StraightenAndEven(ScanPage& page) {
  if (page.picture.empty() || page.picture.type() != CV_8UC3) {
    page.error = "No picture for the page";
    return false;
  }
  if (page.corners) {
    page.usedCorners = *page.corners;
  } else if (const auto found = FindPageOutline(page.picture)) {
    page.usedCorners = *found;
  } else {
    page.usedCorners = WholePicture(page.picture.cols, page.picture.rows);
  }
  const cv::Mat flat = StraightenPage(page.picture, page.usedCorners);
  if (flat.empty()) {
    page.error = "The corners enclose no page";
    return false;
  }
  page.page = EvenLight(flat, page.look);
  return true;
}

bool ReadAndRender(ScanPage& page, const std::string& workFolder, const std::string& stem) {
  page.jpegPath = workFolder + "/" + stem + ".jpg";
  page.pdfPath = workFolder + "/" + stem + ".pdf";
  if (std::string error = WritePageJpeg(page.page, page.jpegPath); !error.empty()) {
    page.error = error;
    return false;
  }
  PageTextResult result = ReadPageToPdf(page.page, page.jpegPath, page.pdfPath, page.languages);
  if (!result.error.empty()) {
    page.error = result.error;
    return false;
  }
  page.text = std::move(result.text);
  // The picture is no longer needed; a long session keeps only the pages.
  page.picture.release();
  return true;
}

}  // namespace scan
