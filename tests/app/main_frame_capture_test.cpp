// The presenter's commands on the main window against the simulated camera:
// quick capture (live, frozen, BMP and JPEG, its folder, its keys, and never
// while a dialog is open), capture series, the clipboard, turning the
// picture, and the right-click menu.
#include <cstdlib>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QStandardPaths>

#include "app/capture_settings.h"
#include "app/failure_log.h"
#include "app/messages.h"
#include "app_fixture.h"
#include "liveview/frame_rotation.h"
#include "output/save_image.h"
#include "panel/diagnostics_window.h"

namespace {

// No one can make a folder here, root included.
const char* UnwritableFolderPath() { return "/proc/tavrocam-pages"; }

QStringList Files(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SetProfile(const char* key, const QVariant& value) {
  QSettings settings = Profile();
  settings.setValue(QStringLiteral("Setting/") + QLatin1String(key), value);
  settings.sync();
}

// The colour at (x, y) of the camera's picture turned clockwise `turns` times.
QColor TurnedColor(const sim::Picture& picture, int x, int y, int turns) {
  const int w = picture.width, h = picture.height;
  const QPoint from = turns == 1   ? QPoint(y, h - 1 - x)
                      : turns == 2 ? QPoint(w - 1 - x, h - 1 - y)
                      : turns == 3 ? QPoint(w - 1 - y, x)
                                   : QPoint(x, y);
  const std::uint8_t* bgr = &picture.bgr[(static_cast<std::size_t>(from.y()) * w + from.x()) * 3];
  return QColor(bgr[2], bgr[1], bgr[0]);
}

class PresenterTest : public CaptureFolderTest {
 protected:
  // Live view paused and the last frame surely on screen.
  sim::Picture Freeze() {
    m_frame->SendCamMessage(WM_CAM_PAUSE);
    WaitUntilFramesStop();
    QTest::qWait(200);
    return m_sim->Camera(0).LastFramePicture();
  }
};

}  // namespace

TEST_F(PresenterTest, CapturesLiveAndFrozenPicturesUnderNewNames) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(3));
  ASSERT_TRUE(m_frame->Capture().QuickCapture()) << "live";
  const QString live = m_frame->Capture().LastCapturePath();
  EXPECT_TRUE(QFileInfo(live).fileName().startsWith("TAVROCAM_"));
  EXPECT_EQ(QImage(live).size(), QSize(640, 480)) << "one whole frame of the camera's size";
  EXPECT_EQ(m_frame->Capture().OverlayText(),
            QFileInfo(live).fileName() + " (" + QDir::toNativeSeparators(Folder()) + ")")
      << "the name and the folder show over the picture";

  Freeze();
  ASSERT_TRUE(m_frame->Capture().QuickCapture());
  const QString first = m_frame->Capture().LastCapturePath();
  ASSERT_TRUE(m_frame->Capture().QuickCapture());
  const QString second = m_frame->Capture().LastCapturePath();
  EXPECT_NE(first, second);
  EXPECT_EQ(FileBytes(first), FileBytes(second)) << "the same frozen frame";
  EXPECT_EQ(Files(Folder()).size(), 3);
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
  // The name goes away by itself after its two seconds.
  EXPECT_TRUE(QTest::qWaitFor([&] { return m_frame->Capture().OverlayText().isEmpty(); }, 4000));
}

TEST_F(PresenterTest, BmpFromTheProfileHoldsTheFramePixelForPixel) {
  SetProfile(kProfileCaptureFormat, "BMP");
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  const sim::Picture picture = Freeze();
  ASSERT_TRUE(m_frame->Capture().QuickCapture());
  const QString path = m_frame->Capture().LastCapturePath();
  EXPECT_TRUE(path.endsWith(".bmp"));
  EXPECT_EQ(QFileInfo(path).size(), 921654);
  const QImage saved(path);
  for (QPoint p : {QPoint(0, 0), QPoint(639, 479), QPoint(123, 321)})
    EXPECT_EQ(saved.pixelColor(p), TurnedColor(picture, p.x(), p.y(), 0)) << p.x() << "," << p.y();
}

TEST_F(PresenterTest, CaptureFolderComesFromTheLineThenTheProfileThenPictures) {
  PresenterOptions options;
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  EXPECT_EQ(CaptureFolder(options), QDir(pictures).filePath("Tavrocam"));
  SetProfile(kProfileCaptureDir, m_captures.path() + "/kept");
  EXPECT_EQ(CaptureFolder(options), m_captures.path() + "/kept");
  options.captureDir = "/elsewhere";
  EXPECT_EQ(CaptureFolder(options), "/elsewhere");

  // Without the option the window writes into the profile's folder, made when missing.
  m_presenter.captureDir.reset();
  StartWithoutCamera();
  ASSERT_TRUE(m_frame->Capture().QuickCapture());
  EXPECT_EQ(Files(m_captures.path() + "/kept").size(), 1);
}

TEST_F(PresenterTest, UnwritableFolderSaysWhyOverThePictureAndWritesNothing) {
  m_presenter.captureDir = std::string(UnwritableFolderPath());
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  EXPECT_FALSE(m_frame->Capture().QuickCapture());
  EXPECT_TRUE(m_dialogs.messages.isEmpty()) << "no box stops the show";
  EXPECT_EQ(
      m_frame->Capture().OverlayText(),
      QStringLiteral("Capture failed: the file cannot be created in that folder (%1)").arg(UnwritableFolderPath()));
  EXPECT_TRUE(m_frame->Capture().LastCapturePath().isEmpty());
}

// The overlay keeps its words; support finds the system's reason in the
// diagnostics window's log.
TEST_F(PresenterTest, FailedCaptureLeavesItsSystemReasonInThePanelsLog) {
  m_presenter.captureDir = std::string("/sys");  // there, root too is refused a new file
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  platform::Failures().Clear();
  const auto logged = LogFailuresInPanel(m_frame->Remocon());
  EXPECT_FALSE(m_frame->Capture().QuickCapture());
  EXPECT_EQ(m_frame->Capture().OverlayText(),
            QStringLiteral("Capture failed: the file cannot be created in that folder (/sys)"));
  const auto failure = platform::Failures().Last();
  ASSERT_TRUE(failure);
  EXPECT_TRUE(failure->what.starts_with("writing /sys/TAVROCAM_")) << failure->what;
  EXPECT_EQ(failure->why, "the file cannot be created in that folder: Permission denied");
  m_frame->Remocon().ShowDiagnostics();
  QTRY_VERIFY(m_frame->Remocon().Diagnostics()->LogText().contains(
      QString::fromStdString("FAILED " + platform::FormatFailure(*failure))));
}

TEST_F(PresenterTest, SpaceCapturesFromEitherWindowButNotWhileASaveDialogIsOpen) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  m_frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_frame.get()));
  QTest::keyClick(m_frame.get(), Qt::Key_Space);
  EXPECT_EQ(Files(Folder()).size(), 1) << "Space on the main window";
  m_frame->Remocon().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&m_frame->Remocon()));
  QTest::keyClick(&m_frame->Remocon(), Qt::Key_Space);
  EXPECT_EQ(Files(Folder()).size(), 2) << "Space on the panel";

  bool capturedDuringDialog = true;
  m_dialogs.whileSaveDialogOpen = [&] {
    QTest::keyClick(m_frame.get(), Qt::Key_Space);
    capturedDuringDialog = m_frame->Capture().QuickCapture();
  };
  m_frame->SendCamMessage(WM_CAM_SAVE_AS);
  EXPECT_FALSE(capturedDuringDialog);
  m_frame->SendCamMessage(WM_CAM_MOVIE);  // its file dialog, cancelled
  EXPECT_EQ(Files(Folder()).size(), 2);
  EXPECT_TRUE(m_dialogs.messages.isEmpty()) << "ignored, not failed";
}

TEST_F(PresenterTest, IntervalSeriesCountsItsCapturesUntilStopped) {
  m_presenter.intervalSeconds = 0.5;
  StartWithCamera({.startMode = 0});
  EXPECT_TRUE(m_frame->Capture().IntervalCaptureRunning()) << "started with the program";
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Capture().IntervalCaptureCount() >= 3; }, 8000));
  m_frame->Capture().StopIntervalCapture();
  const int count = m_frame->Capture().IntervalCaptureCount();
  EXPECT_EQ(Files(Folder()).size(), count);
  QTest::qWait(1200);
  EXPECT_EQ(Files(Folder()).size(), count) << "nothing after the stop";
  EXPECT_FALSE(m_frame->Capture().OverlayText().contains("Every")) << "the series line goes with the series";
  EXPECT_TRUE(
      m_frame->Capture().OverlayText().contains(QStringLiteral("Interval capture stopped \u00b7 %1 taken").arg(count)));

  // From the menu entry, counting afresh: the first capture at once.
  m_frame->Capture().ToggleIntervalCapture();
  EXPECT_EQ(m_frame->Capture().IntervalCaptureCount(), 1);
  EXPECT_EQ(Files(Folder()).size(), count + 1);
  EXPECT_TRUE(m_frame->Capture().OverlayText().startsWith(QStringLiteral("Every 0.5 s \u00b7 1 taken")));
  // Exit stops the series.
  m_frame->SendCamMessage(WM_CAM_SHUTDOWN);
  EXPECT_FALSE(m_frame->Capture().IntervalCaptureRunning());
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(PresenterTest, IntervalSeriesStopsAtTheFirstFailureSayingWhy) {
  m_presenter.captureDir = std::string(UnwritableFolderPath());
  m_presenter.intervalSeconds = 0.5;
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(1));
  m_frame->Capture().StartIntervalCapture();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_frame->Capture().IntervalCaptureRunning(); }, 5000));
  QTest::qWait(1500);
  EXPECT_TRUE(m_dialogs.messages.isEmpty()) << "no box stops the show";
  EXPECT_FALSE(m_frame->Capture().IntervalCaptureRunning());
  EXPECT_EQ(m_frame->Capture().IntervalCaptureCount(), 0);
  EXPECT_TRUE(m_frame->Capture().OverlayText().contains("Capture failed: "))
      << m_frame->Capture().OverlayText().toStdString();
  EXPECT_TRUE(m_frame->Capture().OverlayText().contains(UnwritableFolderPath()));
}

TEST_F(PresenterTest, CopyPutsTheShownPictureOnTheClipboard) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  const sim::Picture picture = Freeze();
  m_frame->Capture().CopyPictureToClipboard();
  const QImage copied = QApplication::clipboard()->image();
  ASSERT_EQ(copied.size(), QSize(640, 480));
  for (QPoint p : {QPoint(0, 0), QPoint(639, 0), QPoint(0, 479), QPoint(300, 200)})
    EXPECT_EQ(copied.pixelColor(p), TurnedColor(picture, p.x(), p.y(), 0)) << p.x() << "," << p.y();

  // Turned, it is the picture as shown.
  ASSERT_TRUE(m_frame->Capture().SetRotationDegrees(270));
  m_frame->Capture().CopyPictureToClipboard();
  const QImage turned = QApplication::clipboard()->image();
  ASSERT_EQ(turned.size(), QSize(480, 640));
  EXPECT_EQ(turned.pixelColor(10, 20), TurnedColor(picture, 10, 20, 3));
}

TEST_F(PresenterTest, TurnedXgaShowsAndSavesPortraitPictures) {
  SetProfile(kProfileCaptureFormat, "bmp");
  m_presenter.rotationDegrees = 90;
  StartWithCamera({.startMode = 2});
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Live().DisplayedMode() == 2; }, 5000));
  EXPECT_EQ(m_frame->size(), QSize(768, 1024)) << "the window follows the turned picture";
  EXPECT_EQ(ProfileValue(kProfileRotation), 90);
  const sim::Picture picture = Freeze();
  ASSERT_EQ(picture.width, 1024);

  const QImage shown = m_frame->LiveView().grab().toImage();
  ASSERT_TRUE(m_frame->Capture().QuickCapture());
  const QImage captured(m_frame->Capture().LastCapturePath());
  m_dialogs.saveAnswer = m_captures.filePath("saved.bmp");
  m_frame->SendCamMessage(WM_CAM_SAVE_AS);
  const QImage saved(m_captures.filePath("saved.bmp"));
  ASSERT_EQ(captured.size(), QSize(768, 1024));
  ASSERT_EQ(saved.size(), QSize(768, 1024));
  for (QPoint p : {QPoint(0, 0), QPoint(767, 0), QPoint(0, 1023), QPoint(500, 600)}) {
    const QColor expected = TurnedColor(picture, p.x(), p.y(), 1);
    EXPECT_EQ(shown.pixelColor(p), expected) << "view " << p.x() << "," << p.y();
    EXPECT_EQ(captured.pixelColor(p), expected) << "capture " << p.x() << "," << p.y();
    EXPECT_EQ(saved.pixelColor(p), expected) << "save " << p.x() << "," << p.y();
  }

  // The keys turn it on; Shift+R turns it back.
  m_frame->Capture().RotateClockwise();
  EXPECT_EQ(m_frame->Capture().RotationDegrees(), 180);
  EXPECT_EQ(m_frame->size(), QSize(1024, 768));
  EXPECT_EQ(m_frame->LiveView().grab().toImage().pixelColor(0, 0), TurnedColor(picture, 0, 0, 2)) << "frozen, turned";
  m_frame->Capture().RotateCounterClockwise();
  m_frame->Capture().RotateCounterClockwise();
  EXPECT_EQ(m_frame->Capture().RotationDegrees(), 0);
  EXPECT_EQ(ProfileValue(kProfileRotation), 0);
  EXPECT_FALSE(m_frame->Capture().SetRotationDegrees(45));
}

// Width and height of the first video format in an AVI file: the bitmap
// header that follows the "strf" chunk's tag and length.
static QSize AviFrameSize(const QByteArray& avi) {
  const qsizetype at = avi.indexOf("strf");
  if (at < 0 || avi.size() < at + 20) return {};
  const auto le32 = [&](qsizetype i) {
    return static_cast<int>(static_cast<std::uint8_t>(avi[i]) | static_cast<std::uint8_t>(avi[i + 1]) << 8 |
                            static_cast<std::uint8_t>(avi[i + 2]) << 16 | static_cast<std::uint8_t>(avi[i + 3]) << 24);
  };
  return {le32(at + 12), std::abs(le32(at + 16))};
}

TEST_F(PresenterTest, TurnedMovieKeepsItsTurnWhileRecording) {
  m_presenter.rotationDegrees = 90;
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  m_dialogs.saveAnswer = m_captures.filePath("turned.avi");
  m_frame->SendCamMessage(WM_CAM_MOVIE);
  // Recording begins with the first frame written, on the movie timer.
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->IsRecording(); }, 20000));
  QTest::qWait(300);
  m_frame->Capture().RotateClockwise();
  EXPECT_EQ(m_frame->Capture().RotationDegrees(), 90) << "refused while recording";
  m_frame->SendCamMessage(WM_CAM_MOVIE);
  EXPECT_EQ(m_dialogs.messages, QStringList{"Capture complete."});
  EXPECT_EQ(AviFrameSize(FileBytes(m_captures.filePath("turned.avi"))), QSize(480, 640));
  m_frame->Capture().RotateClockwise();
  EXPECT_EQ(m_frame->Capture().RotationDegrees(), 180) << "free again afterwards";
}

TEST_F(PresenterTest, UnturnedSavesAreTheFramesOwnBytes) {
  StartWithCamera({.startMode = 0});
  ASSERT_TRUE(WaitForFrames(2));
  Freeze();
  m_dialogs.saveAnswer = m_captures.filePath("before.bmp");
  m_frame->SendCamMessage(WM_CAM_SAVE_AS);
  // A full turn and back leaves nothing behind.
  for (int i = 0; i < 4; ++i) m_frame->Capture().RotateClockwise();
  m_dialogs.saveAnswer = m_captures.filePath("after.bmp");
  m_frame->SendCamMessage(WM_CAM_SAVE_AS);
  CFrameBitmap& bitmap = m_frame->LiveView().Bitmap();
  ASSERT_EQ(SaveImage(bitmap, m_captures.filePath("direct.bmp").toStdString()), 1);
  EXPECT_EQ(FileBytes(m_captures.filePath("before.bmp")), FileBytes(m_captures.filePath("direct.bmp")));
  EXPECT_EQ(FileBytes(m_captures.filePath("after.bmp")), FileBytes(m_captures.filePath("direct.bmp")));
  EXPECT_EQ(m_frame->size(), QSize(640, 480));
}

TEST_F(PresenterTest, RightClickMenuOffersEveryEntryWithItsKeys) {
  StartWithoutCamera();
  QStringList entries;
  for (const QAction* action : m_frame->Capture().ContextMenuActions())
    entries << action->text() + " " + action->shortcut().toString();
  EXPECT_EQ(entries, (QStringList{"Quick capture Space", "Start interval capture I", "Copy picture Ctrl+C",
                                  "Rotate clockwise R", "Rotate counter-clockwise Shift+R"}));
  for (const QAction* action : m_frame->Capture().ContextMenuActions())
    EXPECT_TRUE(m_frame->actions().contains(const_cast<QAction*>(action))) << action->text().toStdString();
  m_frame->Capture().StartIntervalCapture();
  EXPECT_EQ(m_frame->Capture().ContextMenuActions()[1]->text(), "Stop interval capture");
}
