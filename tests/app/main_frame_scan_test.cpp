// Scanning pages from the main window against the simulated camera's
// document scene: the keys in the right-click menu, the document in the
// capture folder, a refused folder, and exit with pages not yet written.
#include <regex>

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/scan_controller.h"
#include "app_fixture.h"
#include "child_process.h"
#include "sim/document_scene.h"

namespace {

struct Ran {
  int exitCode = -1;
  std::string output;
};

Ran RunTool(const std::string& program, const std::vector<std::string>& args) {
  CChildProcess child(program, args);
  if (!child.WaitFinished(std::chrono::seconds(60))) child.Kill();
  return {child.ExitCode().value_or(-1), child.Output()};
}

// The share of the scene's words found in `text`, in any order.
double WordsFound(const std::string& text) {
  int found = 0;
  for (const std::string& word : sim::DocumentSceneWords()) {
    std::string bare;
    for (const char c : word)
      if (std::isalnum(static_cast<unsigned char>(c))) bare += c;
    if (text.find(bare) != std::string::npos) ++found;
  }
  return static_cast<double>(found) / static_cast<double>(sim::DocumentSceneWords().size());
}

class ScanWindowTest : public MainFrameTest {
 protected:
  void SetUp() override {
    MainFrameTest::SetUp();
    ASSERT_TRUE(m_folder.isValid());
    m_presenter.captureDir = Folder().toStdString();
  }

  QString Folder() const { return m_folder.path() + "/pages"; }

  void StartOnTheDocument() {
    StartWithCamera({.documentScene = true});
    ASSERT_TRUE(WaitForFrames(3));
  }

  // The scan entry with this key, which the window answers as its own.
  QAction* Entry(const QKeySequence& keys) const {
    for (QAction* action : m_frame->ScanController()->Actions())
      if (action->shortcut() == keys && m_frame->actions().contains(action)) return action;
    return nullptr;
  }

  QStringList Pdfs() const { return QDir(Folder()).entryList({"*.pdf"}, QDir::Files); }

  QTemporaryDir m_folder;
};

TEST_F(ScanWindowTest, PagesTakenWithTheKeysBecomeOneSearchableDocument) {
  StartOnTheDocument();
  CScanController* scan = m_frame->ScanController();
  ASSERT_NE(scan, nullptr);
  QAction* add = Entry(QKeySequence(Qt::Key_P));
  QAction* undo = Entry(QKeySequence(Qt::Key_Backspace));
  QAction* finish = Entry(QKeySequence(Qt::Key_Return));
  ASSERT_TRUE(add && undo && finish) << "P, Backspace and Enter are the window's keys";
  QStringList entries;
  for (const QAction* action : scan->Actions()) entries << action->text() + " " + action->shortcut().toString();
  EXPECT_EQ(entries, (QStringList{"Add page P", "Remove last page Backspace", "Finish PDF Return",
                                  "Keep these corners Shift+P", "Use whole picture Alt+P"}));
  add->trigger();
  add->trigger();
  add->trigger();
  undo->trigger();
  EXPECT_EQ(scan->PageCount(), 2);
  finish->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !scan->LastDocument().isEmpty(); }, 120000))
      << scan->Message().toStdString();
  EXPECT_EQ(Pdfs(), QStringList{QFileInfo(scan->LastDocument()).fileName()});
  EXPECT_TRUE(
      QFileInfo(scan->LastDocument()).fileName().contains(QRegularExpression(R"(^TAVROCAM_\d{8}_\d{6}\.pdf$)")));
  const std::string path = scan->LastDocument().toStdString();
  EXPECT_EQ(RunTool("qpdf", {"--check", path}).exitCode, 0);
  EXPECT_TRUE(std::regex_search(RunTool("pdfinfo", {path}).output, std::regex(R"(Pages:\s+2\n)")));
  const Ran text = RunTool("pdftotext", {"-f", "1", "-l", "1", path, "-"});
  EXPECT_GE(WordsFound(text.output), 0.9) << text.output;
  EXPECT_EQ(scan->PageCount(), 0);
  EXPECT_TRUE(m_dialogs.messages.isEmpty()) << "no modal box";
}

TEST_F(ScanWindowTest, AFolderThatRefusesTheFileShowsWhyAndKeepsThePages) {
  m_presenter.captureDir = "/proc/tavrocam-pages";  // no one can make a folder here
  StartOnTheDocument();
  CScanController* scan = m_frame->ScanController();
  Entry(QKeySequence(Qt::Key_P))->trigger();
  Entry(QKeySequence(Qt::Key_Return))->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan->Message().startsWith("Cannot write"); }, 120000))
      << scan->Message().toStdString();
  EXPECT_EQ(scan->PageCount(), 1);
  EXPECT_TRUE(scan->LastDocument().isEmpty());
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(ScanWindowTest, ExitWritesTheUnfinishedDocumentWhilePagesAreRead) {
  StartOnTheDocument();
  Entry(QKeySequence(Qt::Key_P))->trigger();
  Entry(QKeySequence(Qt::Key_P))->trigger();
  // Closed at once: the pages are still being read.
  m_frame->close();
  ASSERT_EQ(Pdfs().size(), 1);
  EXPECT_TRUE(Pdfs().front().endsWith("_unfinished.pdf")) << Pdfs().front().toStdString();
  const std::string path = QDir(Folder()).filePath(Pdfs().front()).toStdString();
  EXPECT_EQ(RunTool("qpdf", {"--check", path}).exitCode, 0);
  EXPECT_TRUE(std::regex_search(RunTool("pdfinfo", {path}).output, std::regex(R"(Pages:\s+2\n)")));
}

}  // namespace
