// A REMOCON panel on the simulated camera, with a main window stand-in that
// records the messages it receives and the message boxes shown.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QTemporaryDir>

#include "app/messages.h"
#include "camera/usb_camera.h"
#include "output/user_dialogs.h"
#include "panel/panel_button.h"
#include "panel/remocon_dlg.h"
#include "panel/remocon_host.h"
#include "simulated_camera.h"

using test_support::PlainFrame;
using test_support::SetFrame;
using test_support::ShortFrame;

// The camera the panel talks to: the simulated one, answering each command
// from a read-back table the tests can set.
inline test_support::SimulatedCameraOptions PanelCamera() {
  return {.replies = test_support::CommandReplies::ReadBack};
}

class RecordingDialogs : public IUserDialogs {
 public:
  void MessageBox(const QString& text) override {
    boxes.push_back(text);
    if (whileShown) whileShown();
  }
  std::optional<QString> SaveFileName(const QStringList&, const QString&) override { return std::nullopt; }
  bool ChoosePrinter(QPrinter&) override { return false; }
  std::optional<MovieCompression> ChooseMovieCompression() override { return std::nullopt; }

  std::vector<QString> boxes;
  std::function<void()> whileShown;  // runs while the box is "open"
};

class FakeHost : public IRemoconHost {
 public:
  explicit FakeHost(platform::IDriver& driver) : camera(driver, CameraTiming{0.01}) {}

  // Each action is noted as its message, with how many command frames the
  // camera had by then.
  void Shutdown() override { Note(WM_CAM_SHUTDOWN); }
  void Step() override { Note(WM_CAM_STEP); }
  void Movie() override { Note(WM_CAM_MOVIE); }
  void Resume() override { Note(WM_CAM_RESUME); }
  void Pause() override { Note(WM_CAM_PAUSE); }
  void SaveAs() override { Note(WM_CAM_SAVE_AS); }
  void Print() override { Note(WM_CAM_PRINT); }
  CUsbCamera& Camera() override { return camera; }
  void StopLive() override { liveRunning.store(0); }
  bool DeviceOk() const override { return deviceOk.load() != 0; }
  int FrameCount() const override { return frameCount.load(); }
  void ResetFrameCount() override { frameCount.store(0); }
  IUserDialogs& Dialogs() override { return dialogs; }

  std::vector<unsigned> MessageIds() const {
    std::vector<unsigned> ids;
    for (const auto& m : messages) ids.push_back(m.first);
    return ids;
  }

  void Note(unsigned message) { messages.push_back({message, commandsSoFar ? commandsSoFar() : 0}); }

  CUsbCamera camera;
  std::atomic<std::int32_t> liveRunning{1};
  std::atomic<std::int32_t> deviceOk{1};
  std::atomic<std::int32_t> frameCount{0};
  RecordingDialogs dialogs;
  std::vector<std::pair<unsigned, std::size_t>> messages;
  std::function<std::size_t()> commandsSoFar;
};

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens the link (unless told not to) and creates the panel, which reads
  // the camera's settings.
  void CreatePanel(bool openLink = true);

  CPanelButton* Btn(int id) const;
  void Click(int id);
  void Press(int id, Qt::MouseButton button = Qt::LeftButton);
  void Release(int id, Qt::MouseButton button = Qt::LeftButton);
  // The frames the camera received since the last call.
  std::vector<test_support::Bytes> Sent();
  bool Latched(int id) const;

  QTemporaryDir claimDir;
  test_support::SimulatedCamera driver{PanelCamera()};
  std::unique_ptr<FakeHost> host;
  std::unique_ptr<CRemoconDlg> panel;
};
