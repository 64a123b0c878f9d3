// Movie recording: start and stop, and one frame per timer tick. Each frame's
// position in the movie comes from the wall clock, so late ticks leave empty
// slots instead of shortening the movie.
#include <memory>

#include "app/main_frame.h"
#include "app/output_dialog_scope.h"
#include "output/avi_writer.h"
#include "output/movie_clock.h"
#include "output/user_dialogs.h"
#include "panel/messages.h"
#include "platform/sleep.h"

void AviWriterDeleter::operator()(CAviWriter* writer) const { std::default_delete<CAviWriter>()(writer); }

long CMainFrame::OnCamMovie() {
  if (m_bRecording == 1) {
    KillTimer(TIMER_MOVIE_FRAME);
    m_pAviWriter.reset();  // writes the index and closes the file
    m_bRecording = 0;
    m_dialogs.MessageBox(QStringLiteral("Capture complete."));
  } else if (m_pAviWriter && m_pAviWriter->IsBusy()) {
    // The first frame is still being set up (its options dialog is open):
    // a new writer now would pull the old one from under it.
  } else if (const auto path = [this] {
               const OutputDialogScope dialog(m_nOutputDialogs);
               return m_dialogs.SaveFileName({QStringLiteral("Movie(*.avi)")}, QStringLiteral("AVI"));
             }()) {
    auto writer = std::make_unique<CAviWriter>(path->toStdString(), -1, -1,
                                               [this] { return m_dialogs.ChooseMovieCompression(); });
    m_pAviWriter.reset(writer.release());
    m_bFirstMovieFrame = 1;
    SetTimer(TIMER_MOVIE_FRAME, kMovieFrameMs);
  }
  // Live view runs again after any movie command.
  platform::SetEvent(m_hRunEvent);
  platform::SleepMs(10);
  return 0;
}

void CMainFrame::OnMovieTimer() {
  if (m_bDestroyed || !m_pAviWriter) {
    // The program is ending (or nothing records): close what was recorded,
    // with its index, and tell nobody.
    if (m_pAviWriter && m_pAviWriter->IsBusy()) return;
    KillTimer(TIMER_MOVIE_FRAME);
    m_pAviWriter.reset();
    m_bRecording = 0;
    m_bFirstMovieFrame = 0;
    return;
  }
  if (m_bFirstMovieFrame != 1) {
    SendCamMessage(WM_CAM_CAPTURE_TICK);
    return;
  }
  // Ticks that come while the options dialog is open find neither flag set
  // and write nothing.
  m_bFirstMovieFrame = 0;
  m_pAviWriter->SetStartTime(MovieClockNow());
  if (m_pAviWriter->AddFrame(OutputFrame())) {
    m_bRecording = 1;
    return;
  }
  KillTimer(TIMER_MOVIE_FRAME);
  m_pAviWriter.reset();
  m_bRecording = 0;
  m_dialogs.MessageBox(QStringLiteral("Error!"));
}

long CMainFrame::OnCamCaptureTick() {
  if (m_bRecording != 1 || !m_pAviWriter) return 0;
  m_pAviWriter->SetPosition(MoviePositionAt(MovieClockNow(), m_pAviWriter->StartTime()));
  if (!m_pAviWriter->AddFrame(OutputFrame())) {
    KillTimer(TIMER_MOVIE_FRAME);
    m_pAviWriter.reset();  // the file keeps the frames written so far
    m_bRecording = 0;
    m_dialogs.MessageBox(QStringLiteral("Error!"));
  }
  return 0;
}
