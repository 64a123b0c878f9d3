// Movie recording: start and stop, and one frame per timer tick.
#include "app/main_frame.h"

#include "platform/sleep.h"

// Stands in until the movie writer exists.
class CAviWriter {};

void AviWriterDeleter::operator()(CAviWriter* writer) const { delete writer; }

long CMainFrame::OnCamMovie() {
  // Live view runs again after any movie command.
  platform::SetEvent(m_hRunEvent);
  platform::SleepMs(10);
  return 0;
}

long CMainFrame::OnCamCaptureTick() { return 0; }

void CMainFrame::OnMovieTimer() {}
