// The whole program (main window, panel, live view) against the paced
// simulated camera, for benchmarks that measure it running.
#pragma once

#include <memory>
#include <optional>

#include <QString>

#include "output/user_dialogs.h"
#include "sim/sim_driver.h"

class CMainFrame;

namespace bench {

// Refuses every dialog and prints the boxes, so a benchmark never waits on one.
class CSilentDialogs final : public IUserDialogs {
 public:
  void MessageBox(const QString& text) override;
  std::optional<QString> SaveFileName(const QStringList&, const QString&) override { return std::nullopt; }
  bool ChoosePrinter(QPrinter&) override { return false; }
  std::optional<MovieCompression> ChooseMovieCompression() override { return std::nullopt; }
};

struct ProgramInterval {
  double fps = 0;
  double cpuShare = 0;  // the process's processor time, in cores
};

class CBenchProgram {
 public:
  // Installs a paced camera starting in `startMode` (it is not changed while
  // frames are in flight), showing the document scene when asked, and shows
  // the main window.
  explicit CBenchProgram(int startMode, bool documentScene = false);
  ~CBenchProgram();  // shuts the program down and removes the camera
  CBenchProgram(const CBenchProgram&) = delete;
  CBenchProgram& operator=(const CBenchProgram&) = delete;

  bool Started() const { return m_started; }
  CMainFrame& Frame() { return *m_frame; }

  // Runs the event loop for `seconds` and counts the frames the camera sent:
  // the main window's own count is zeroed by the panel every second.
  ProgramInterval Measure(int seconds);

 private:
  std::shared_ptr<sim::SimDriver> m_driver;
  CSilentDialogs m_dialogs;
  std::unique_ptr<CMainFrame> m_frame;
  bool m_started = false;
};

}  // namespace bench
