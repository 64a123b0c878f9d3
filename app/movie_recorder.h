// The main window's movie recording: the writer while a recording exists,
// its start and stop, and one frame per tick of the movie timer.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class CAviWriter;
class CFrameBitmap;
class IUserDialogs;

class CMovieRecorder {
 public:
  // `outputFrame` is the picture a frame is taken from; `movieTimer` starts
  // (true) or stops the window's movie timer; `openDialogs` counts the
  // output dialogs that are open.
  CMovieRecorder(IUserDialogs& dialogs, int& openDialogs, std::function<CFrameBitmap&()> outputFrame,
                 std::function<void(bool)> movieTimer);
  ~CMovieRecorder();
  CMovieRecorder(const CMovieRecorder&) = delete;
  CMovieRecorder& operator=(const CMovieRecorder&) = delete;

  // Starts a recording (its file dialog; the first frame at the next tick)
  // or stops the one under way.
  void StartOrStop();
  // A tick of the movie timer: true when it is to write a frame (through the
  // window's capture-tick message); `ending` closes what was recorded instead.
  bool OnTimer(bool ending);
  // Writes the frame of this tick at its place on the wall clock.
  void CaptureTick();

  // Any thread.
  bool IsRecording() const { return m_bRecording.load(); }
  // A writer exists: its frames keep one size.
  bool HasWriter() const { return m_pAviWriter != nullptr; }
  // The first frame is being set up (its options dialog is open).
  bool Busy() const;

 private:
  void StopWithError();

  IUserDialogs& m_dialogs;
  int& m_nOpenDialogs;
  std::function<CFrameBitmap&()> m_outputFrame;
  std::function<void(bool)> m_movieTimer;
  std::atomic<bool> m_bRecording{false};
  std::unique_ptr<CAviWriter> m_pAviWriter;
  // The next tick writes the first frame.
  bool m_bFirstMovieFrame = false;
};
