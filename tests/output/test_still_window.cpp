// The main window's save-as and print messages, with no camera attached: the
// view's black start-up frame is what gets saved and printed.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "answering_dialogs.h"
#include "app/main_frame.h"
#include "app/messages.h"
#include "simulated_camera.h"
#include "still_test_support.h"

namespace {

// No camera is attached: every open fails.
test_support::SimulatedCameraOptions NoCamera() {
  test_support::SimulatedCameraOptions options;
  options.attached.clear();
  return options;
}

// Runs the test inside `folder`, restoring the working folder afterwards.
class WorkingFolder {
 public:
  explicit WorkingFolder(const QString& folder) : m_saved(QDir::currentPath()) { QDir::setCurrent(folder); }
  ~WorkingFolder() { QDir::setCurrent(m_saved); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  QString m_saved;
};

class StillWindow : public ::testing::Test {
 protected:
  StillWindow() { m_dialogs.pdfPath = m_output.filePath("page.pdf"); }

  QTemporaryDir m_startDir;
  QTemporaryDir m_output;
  AnsweringDialogs m_dialogs;
  test_support::SimulatedCamera m_driver{NoCamera()};
};

TEST_F(StillWindow, PrintUsesTheStartFolderAfterTheSaveDialogMovedAway) {
  WorkingFolder start(m_startDir.path());
  CMainFrame frame(m_dialogs, m_driver);
  ASSERT_TRUE(frame.Create());

  // The save dialog left the working folder elsewhere.
  m_dialogs.saveAnswer = m_output.filePath("still.jpg");
  EXPECT_EQ(frame.SendCamMessage(WM_CAM_SAVE_AS), 0);
  QDir::setCurrent(m_output.path());

  EXPECT_EQ(frame.SendCamMessage(WM_CAM_PRINT), 0);
  EXPECT_EQ(Entries(m_startDir.path()), QStringList{"print.bmp"});
  EXPECT_EQ(ReadAll(m_startDir.filePath("print.bmp")).size(), 921654u);
  EXPECT_EQ(Entries(m_output.path()), (QStringList{"page.pdf", "still.jpg"}));
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(StillWindow, FailuresShowTheErrorBoxAndCancelsStaySilent) {
  WorkingFolder start(m_startDir.path());
  CMainFrame frame(m_dialogs, m_driver);
  ASSERT_TRUE(frame.Create());

  frame.SendCamMessage(WM_CAM_SAVE_AS);  // cancelled
  m_dialogs.pdfPath.clear();
  frame.SendCamMessage(WM_CAM_PRINT);  // cancelled
  EXPECT_TRUE(m_dialogs.messages.isEmpty());

  m_dialogs.saveAnswer = QString::fromLatin1(UnwritableFolder()) + "/still.bmp";
  frame.SendCamMessage(WM_CAM_SAVE_AS);
  m_dialogs.saveAnswer = m_output.filePath("still.tiff");
  frame.SendCamMessage(WM_CAM_SAVE_AS);
  EXPECT_EQ(m_dialogs.messages, (QStringList{"Error!", "Error!"}));
  EXPECT_TRUE(Entries(m_output.path()).isEmpty());
}

TEST_F(StillWindow, AStartFolderThatRefusesPrintBmpPrintsNothing) {
  WorkingFolder start(QString::fromLatin1(UnwritableFolder()));
  CMainFrame frame(m_dialogs, m_driver);
  ASSERT_TRUE(frame.Create());
  frame.SendCamMessage(WM_CAM_PRINT);
  EXPECT_EQ(m_dialogs.messages, QStringList{"Error!"});
  EXPECT_EQ(m_dialogs.printerQuestions, 0);
  EXPECT_FALSE(QFile::exists(m_dialogs.pdfPath));
}

}  // namespace
