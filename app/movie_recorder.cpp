// Each frame's position in the movie comes from the wall clock, so late
// ticks leave empty slots instead of shortening the movie.
#include "app/movie_recorder.h"

#include <utility>

#include <QString>

#include "app/output_dialog_scope.h"
#include "output/avi_writer.h"
#include "output/movie_clock.h"
#include "output/user_dialogs.h"

CMovieRecorder::CMovieRecorder(IUserDialogs& dialogs, int& openDialogs, std::function<CFrameBitmap&()> outputFrame,
                               std::function<void(bool)> movieTimer)
    : m_dialogs(dialogs),
      m_nOpenDialogs(openDialogs),
      m_outputFrame(std::move(outputFrame)),
      m_movieTimer(std::move(movieTimer)) {}

CMovieRecorder::~CMovieRecorder() = default;

bool CMovieRecorder::Busy() const { return m_pAviWriter && m_pAviWriter->IsBusy(); }

void CMovieRecorder::StartOrStop() {
  if (m_bRecording.load()) {
    m_movieTimer(false);
    m_pAviWriter.reset();  // writes the index and closes the file
    m_bRecording.store(false);
    m_dialogs.MessageBox(QStringLiteral("Capture complete."));
  } else if (Busy()) {
    // The first frame is still being set up (its options dialog is open):
    // a new writer now would pull the old one from under it.
  } else if (const auto path = [this] {
               const OutputDialogScope dialog(m_nOpenDialogs);
               return m_dialogs.SaveFileName({QStringLiteral("Movie(*.avi)")}, QStringLiteral("AVI"));
             }()) {
    m_pAviWriter = std::make_unique<CAviWriter>(path->toStdString(), -1, -1,
                                                [this] { return m_dialogs.ChooseMovieCompression(); });
    m_bFirstMovieFrame = true;
    m_movieTimer(true);
  }
}

bool CMovieRecorder::OnTimer(bool ending) {
  if (ending || !m_pAviWriter) {
    // The program is ending (or nothing records): close what was recorded,
    // with its index, and tell nobody.
    if (Busy()) return false;
    m_movieTimer(false);
    m_pAviWriter.reset();
    m_bRecording.store(false);
    m_bFirstMovieFrame = false;
    return false;
  }
  if (!m_bFirstMovieFrame) return true;
  // Ticks that come while the options dialog is open find neither flag set
  // and write nothing.
  m_bFirstMovieFrame = false;
  m_pAviWriter->SetStartTime(MovieClockNow());
  if (m_pAviWriter->AddFrame(m_outputFrame())) {
    m_bRecording.store(true);
    return false;
  }
  StopWithError();
  return false;
}

void CMovieRecorder::CaptureTick() {
  if (!m_bRecording.load() || !m_pAviWriter) return;
  m_pAviWriter->SetPosition(MoviePositionAt(MovieClockNow(), m_pAviWriter->StartTime()));
  // The file keeps the frames written so far.
  if (!m_pAviWriter->AddFrame(m_outputFrame())) StopWithError();
}

void CMovieRecorder::StopWithError() {
  m_movieTimer(false);
  m_pAviWriter.reset();
  m_bRecording.store(false);
  m_dialogs.MessageBox(QStringLiteral("Error!"));
}
