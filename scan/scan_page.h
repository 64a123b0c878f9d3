// One page of a scan, from the picture it was taken from to its finished
// one-page PDF, in one record that the steps fill in turn.
#pragma once

#include <opencv2/core/mat.hpp>
#include <optional>
#include <string>

#include "scan/page_corners.h"
#include "scan/scan_look.h"

namespace scan {

enum class PageState {
  kWaiting,        // taken, not started
  kStraightening,  // outline, perspective and light
  kReading,        // text recognition
  kDone,
  kFailed,
};

std::string_view PageStateName(PageState state);

struct ScanPage {
  cv::Mat picture;                     // the picture as shown when the page was taken
  std::optional<PageCorners> corners;  // chosen corners; nothing: found now, else the whole picture
  ScanLook look = ScanLook::kColour;
  std::string languages = "eng";

  PageState state = PageState::kWaiting;
  PageCorners usedCorners{};  // the corners the page was straightened with
  cv::Mat page;               // straightened, light evened
  std::string jpegPath;       // the page image, from our encoder
  std::string pdfPath;        // the one-page PDF with its text layer
  std::string text;
  std::string error;
};

// Runs every step on `page` and leaves it kDone or kFailed; `workFolder`
// takes its files under `stem`. `onState` hears each change of state.
template <typename OnState>
void ProcessPage(ScanPage& page, const std::string& workFolder, const std::string& stem, OnState&& onState);

// The straightening steps alone: corners (found, chosen or whole picture),
// perspective and light. False, with `error` set, when nothing is left.
bool StraightenAndEven(ScanPage& page);

// The reading step: JPEG and one-page PDF. False, with `error` set, on failure.
bool ReadAndRender(ScanPage& page, const std::string& workFolder, const std::string& stem);

template <typename OnState>
void ProcessPage(ScanPage& page, const std::string& workFolder, const std::string& stem, OnState&& onState) {
  page.state = PageState::kStraightening;
  onState(page.state);
  if (!StraightenAndEven(page)) {
    page.state = PageState::kFailed;
    onState(page.state);
    return;
  }
  page.state = PageState::kReading;
  onState(page.state);
  page.state = ReadAndRender(page, workFolder, stem) ? PageState::kDone : PageState::kFailed;
  onState(page.state);
}

}  // namespace scan
