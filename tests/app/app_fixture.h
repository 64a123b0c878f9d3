// A main window against the simulated camera, with a test playing the user.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include <QSettings>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_frame.h"
#include "output/user_dialogs.h"
#include "platform/driver.h"
#include "sim/sim_driver.h"

// Answers every dialog at once: message boxes are recorded, file dialogs
// answered with `saveAnswer` (cancelled by default), print dialogs cancelled.
class RecordingDialogs final : public IUserDialogs {
 public:
  void MessageBox(const QString& text) override { messages << text; }
  std::optional<QString> SaveFileName(const QStringList&, const QString&) override {
    // What the user does while the dialog is open.
    if (whileSaveDialogOpen) whileSaveDialogOpen();
    return saveAnswer;
  }
  bool ChoosePrinter(QPrinter&) override { return false; }
  // Movies record whole frames, without asking.
  std::optional<MovieCompression> ChooseMovieCompression() override { return MovieCompression{}; }

  QStringList messages;
  std::optional<QString> saveAnswer;
  std::function<void()> whileSaveDialogOpen;
};

inline QSettings Profile() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "TQ400 Application", "TAVROCAM");
}

inline void ClearProfile() {
  QSettings settings = Profile();
  settings.clear();
  settings.sync();
}

inline void WriteProfile(int monX, int monY, int remoconX, int remoconY) {
  QSettings settings = Profile();
  settings.setValue("Setting/MonX", monX);
  settings.setValue("Setting/MonY", monY);
  settings.setValue("Setting/RemoconX", remoconX);
  settings.setValue("Setting/RemoconY", remoconY);
  settings.sync();
}

inline std::optional<int> ProfileValue(const char* key) {
  QSettings settings = Profile();
  const QVariant value = settings.value(QStringLiteral("Setting/") + QLatin1String(key));
  if (!value.isValid()) return std::nullopt;
  return value.toInt();
}

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearProfile(); }

  void TearDown() override {
    m_frame.reset();
    platform::InstallDriver(nullptr);
  }

  // Camera link pauses and time-outs are shortened in the same proportion.
  static constexpr double kTimeScale = 0.05;

  void StartWithCamera(sim::SimOptions options = {}) {
    options.timeScale = kTimeScale;
    m_sim = sim::CreateSimulatedDriver(options);
    platform::InstallDriver(m_sim);
    Start();
  }

  void StartWithoutCamera() {
    platform::InstallDriver(nullptr);
    Start();
  }

  void Start() {
    m_frame = std::make_unique<CMainFrame>(m_dialogs, platform::CurrentDriver(), CameraTiming{kTimeScale});
    m_destroyed = std::make_unique<QSignalSpy>(m_frame.get(), &CMainFrame::windowDestroyed);
    m_frame->SetPresenterOptions(m_presenter);
    ASSERT_TRUE(m_frame->Create());
    m_frame->show();
  }

  // Frames the worker asked the camera for. The main window's own count is
  // read and zeroed by the panel every second, so tests count at the camera.
  int Frames() const { return static_cast<int>(m_sim->Camera(0).VendorRequestCount(kGrabRequest)); }

  bool WaitForFrames(int count, int timeoutMs = 10000) {
    return QTest::qWaitFor([&] { return Frames() >= count; }, timeoutMs);
  }

  // Waits until no further frame is asked for. The camera counts a frame
  // when it is asked for, not when it has arrived, so the worker may still
  // be finishing the last one: callers allow for that.
  void WaitUntilFramesStop() {
    int seen = -1;
    while (seen != Frames()) {
      seen = Frames();
      QTest::qWait(400);
    }
  }

  static constexpr std::uint8_t kGrabRequest = 0xB4;

  RecordingDialogs m_dialogs;
  // The command line's presenter options for the next Start.
  PresenterOptions m_presenter;
  std::shared_ptr<sim::SimDriver> m_sim;
  std::unique_ptr<CMainFrame> m_frame;
  std::unique_ptr<QSignalSpy> m_destroyed;
};

// A main window whose captures go to "pages" in a fresh folder, a folder the
// program has to make itself on the first capture.
class CaptureFolderTest : public MainFrameTest {
 protected:
  void SetUp() override {
    MainFrameTest::SetUp();
    ASSERT_TRUE(m_captures.isValid());
    m_presenter.captureDir = Folder().toStdString();
  }

  QString Folder() const { return m_captures.path() + "/pages"; }

  QTemporaryDir m_captures;
};
