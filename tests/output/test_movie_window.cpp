// Recording from the main window against the simulated camera, with a test
// playing the user and holding the clock.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_frame.h"
#include "app/messages.h"
#include "liveview/frame_bitmap.h"
#include "output/movie_clock.h"
#include "output/user_dialogs.h"
#include "platform/driver.h"
#include "sim/sim_driver.h"
#include "test_movie_support.h"

namespace {

std::atomic<std::uint32_t> g_nowMs{0};
std::uint32_t TestClock() { return g_nowMs.load(); }

class MovieDialogs final : public IUserDialogs {
 public:
  void MessageBox(const QString& text) override { messages << text; }
  std::optional<QString> SaveFileName(const QStringList& filters, const QString& defaultSuffix) override {
    ++fileQuestions;
    askedFilters = filters;
    askedSuffix = defaultSuffix;
    return saveAnswer;
  }
  bool ChoosePrinter(QPrinter&) override { return false; }
  std::optional<MovieCompression> ChooseMovieCompression() override {
    ++compressionQuestions;
    if (whileChoosing) whileChoosing();
    return compressionAnswer;
  }

  std::optional<QString> saveAnswer;
  std::optional<MovieCompression> compressionAnswer = MovieCompression{kMovieFullFrames, 75};
  std::function<void()> whileChoosing;
  QStringList messages;
  QStringList askedFilters;
  QString askedSuffix;
  int fileQuestions = 0;
  int compressionQuestions = 0;
};

constexpr std::uint8_t kMonitorOutCommand = 0x20;
constexpr std::uint8_t kMonitorOutXga = 0;
constexpr std::uint32_t kStartMs = 50000;
// How long to wait for the camera or the timer before giving up; generous,
// since sanitizer builds run many times slower.
constexpr int kPatienceMs = 30000;

class MovieWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previousClock = SetMovieClock(&TestClock);
    g_nowMs = kStartMs;
    sim::SimOptions options;
    options.startMode = 0;  // 640 x 480
    options.timeScale = 0.05;
    m_sim = sim::CreateSimulatedDriver(options);
    platform::InstallDriver(m_sim);
    m_frame = std::make_unique<CMainFrame>(m_dialogs, platform::CurrentDriver(), CameraTiming{0.05});
    ASSERT_TRUE(m_frame->Create());
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->Live().FrameCount() >= 2; }, kPatienceMs));
    m_dialogs.saveAnswer = m_dir.filePath("movie.avi");
  }

  void TearDown() override {
    m_frame.reset();
    platform::InstallDriver(nullptr);
    SetMovieClock(m_previousClock);
  }

  std::string MoviePath() const { return m_dir.filePath("movie.avi").toStdString(); }

  // Starts recording and lets the timer write the first frame.
  void StartRecording() {
    const int asked = m_dialogs.compressionQuestions;
    EXPECT_EQ(m_frame->SendCamMessage(WM_CAM_MOVIE), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_dialogs.compressionQuestions > asked; }, kPatienceMs));
    QTest::qWait(1);
  }

  // One tick of the capture, at `ms` after the first frame.
  void TickAt(std::uint32_t ms) {
    g_nowMs = kStartMs + ms;
    m_frame->SendCamMessage(WM_CAM_CAPTURE_TICK);
  }

  QTemporaryDir m_dir;
  MovieDialogs m_dialogs;
  std::shared_ptr<sim::SimDriver> m_sim;
  std::unique_ptr<CMainFrame> m_frame;
  MovieClock m_previousClock = nullptr;
};

TEST_F(MovieWindow, StartThenStopAtOnceGivesOneFrameAtPositionZero) {
  StartRecording();
  EXPECT_EQ(m_dialogs.askedFilters, QStringList{"Movie(*.avi)"});
  EXPECT_EQ(m_dialogs.askedSuffix, "AVI");
  QTest::qWait(150);  // more ticks in the same 66 ms of (held) clock
  m_frame->SendCamMessage(WM_CAM_MOVIE);
  EXPECT_EQ(m_dialogs.messages, QStringList{"Capture complete."});

  const auto movie = movie_test::ReadMovie(MoviePath());
  ASSERT_TRUE(movie.opened);
  movie_test::ExpectFullFrameStream(movie, 640, 480);
  ASSERT_EQ(movie.packets.size(), 1u);
  EXPECT_EQ(movie.packets[0].pts, 0);
  EXPECT_EQ(movie.decodeErrors, 0);

  // The next movie command starts a new recording rather than stopping.
  m_dialogs.saveAnswer.reset();
  m_frame->SendCamMessage(WM_CAM_MOVIE);
  EXPECT_EQ(m_dialogs.fileQuestions, 2);
}

TEST_F(MovieWindow, PositionsFollowTheClockFromBeforeTheOptionsDialog) {
  // Two seconds pass while the user chooses the compressor.
  m_dialogs.whileChoosing = [] { g_nowMs += 2000; };
  StartRecording();
  TickAt(2000);   // 30
  TickAt(2066);   // 31
  TickAt(2266);   // 34: a tick 200 ms late leaves two empty slots
  TickAt(2270);   // 34 again: the slot keeps its first frame
  TickAt(12000);  // 181
  m_frame->SendCamMessage(WM_CAM_MOVIE);
  EXPECT_EQ(m_dialogs.messages, QStringList{"Capture complete."});

  const auto movie = movie_test::ReadMovie(MoviePath(), false);
  ASSERT_TRUE(movie.opened);
  std::vector<std::int64_t> positions;
  for (const auto& packet : movie.packets) positions.push_back(packet.pts);
  EXPECT_EQ(positions, (std::vector<std::int64_t>{0, 30, 31, 34, 181}));
  EXPECT_EQ(movie.streamLength, 182);
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(MoviePath()));
}

TEST_F(MovieWindow, AMovieCommandWhileTheOptionsAreOpenLeavesTheFirstFrameAlone) {
  // The panel's control (or its shortcut) while the options dialog is open:
  // the writer setting up the file must survive it.
  m_dialogs.whileChoosing = [this] { m_frame->SendCamMessage(WM_CAM_MOVIE); };
  StartRecording();
  EXPECT_EQ(m_dialogs.fileQuestions, 1);
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
  TickAt(66);
  m_frame->SendCamMessage(WM_CAM_MOVIE);
  EXPECT_EQ(m_dialogs.messages, QStringList{"Capture complete."});
  const auto movie = movie_test::ReadMovie(MoviePath(), false);
  ASSERT_TRUE(movie.opened);
  EXPECT_EQ(movie.packets.size(), 2u);
}

TEST_F(MovieWindow, AModeChangeEndsTheMovieWithAnErrorAndKeepsTheEarlierFrames) {
  StartRecording();
  TickAt(66);
  TickAt(132);
  m_frame->Camera().SendCommand(kMonitorOutCommand, kMonitorOutXga);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const CFrameBitmap& bitmap = m_frame->LiveView().Bitmap();
        const auto lock = bitmap.LockBuffers();  // the worker is resizing it
        return bitmap.Width() == 1024;
      },
      kPatienceMs));
  TickAt(198);
  EXPECT_EQ(m_dialogs.messages, QStringList{"Error!"});
  TickAt(264);  // nothing records any more
  EXPECT_EQ(m_dialogs.messages.size(), 1);

  const auto movie = movie_test::ReadMovie(MoviePath());
  ASSERT_TRUE(movie.opened);
  EXPECT_EQ(movie.width, 640);
  EXPECT_EQ(movie.height, 480);
  EXPECT_EQ(movie.packets.size(), 3u);
  EXPECT_EQ(movie.decodeErrors, 0);
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(MoviePath()));
}

TEST_F(MovieWindow, CancelledOptionsShowErrorAndLeaveAnEmptyMovie) {
  m_dialogs.compressionAnswer.reset();
  StartRecording();
  EXPECT_EQ(m_dialogs.messages, QStringList{"Error!"});
  QTest::qWait(150);
  EXPECT_EQ(m_dialogs.compressionQuestions, 1) << "the timer stopped with the error";

  ASSERT_TRUE(QFileInfo::exists(m_dialogs.saveAnswer.value()));
  const auto movie = movie_test::ReadMovie(MoviePath());
  ASSERT_TRUE(movie.opened);
  EXPECT_TRUE(movie.packets.empty());
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(MoviePath()));
}

TEST_F(MovieWindow, CancellingTheFileDialogRecordsNothingAndLiveViewRuns) {
  m_dialogs.saveAnswer.reset();
  m_frame->SendCamMessage(WM_CAM_PAUSE);
  QTest::qWait(200);
  // Counted at the camera: the panel's rate display sets the window's count back every second.
  const auto grabs = [&] { return m_sim->Camera(0).VendorRequestCount(0xB4); };
  const auto paused = grabs();
  m_frame->SendCamMessage(WM_CAM_MOVIE);
  EXPECT_TRUE(QTest::qWaitFor([&] { return grabs() > paused + 2; }, kPatienceMs));
  QTest::qWait(150);
  EXPECT_EQ(m_dialogs.fileQuestions, 1);
  EXPECT_EQ(m_dialogs.compressionQuestions, 0);
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
  EXPECT_TRUE(m_dir.isValid());
  EXPECT_TRUE(QDir(m_dir.path()).isEmpty());
}

TEST_F(MovieWindow, ARecordingStillRunningAtExitIsClosedWithItsFrames) {
  StartRecording();
  TickAt(66);
  TickAt(133);
  m_frame->close();  // the user closes the main window while recording
  // The timer's next tick finds the window gone and closes the movie, whose
  // header then counts its slots.
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return movie_test::ReadMovie(MoviePath(), false).streamLength == 3; }, kPatienceMs));
  const auto movie = movie_test::ReadMovie(MoviePath());
  ASSERT_TRUE(movie.opened);
  EXPECT_EQ(movie.packets.size(), 3u);
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(MoviePath()));
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(MovieWindow, AFrameDestroyedWhileRecordingStillClosesTheMovie) {
  StartRecording();
  TickAt(66);
  m_frame.reset();
  const auto movie = movie_test::ReadMovie(MoviePath());
  ASSERT_TRUE(movie.opened);
  EXPECT_EQ(movie.packets.size(), 2u);
  EXPECT_TRUE(movie_test::ProbeWithoutErrors(MoviePath()));
}

}  // namespace
