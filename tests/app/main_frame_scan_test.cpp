// Scanning pages from the main window against the simulated camera's
// document scene: the keys in the right-click menu, the document in the
// capture folder, a refused folder, exit with pages not yet written, and
// corners set by hand.
#include <regex>

#include <QDir>
#include <QRegularExpression>

#include "app/corner_handles.h"
#include "app/scan_controller.h"
#include "app_fixture.h"
#include "child_process.h"
#include "liveview/picture_fit.h"
#include "scan/page_outline.h"
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

class ScanWindowTest : public CaptureFolderTest {
 protected:
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

  CCornerHandles* Handles() const { return m_frame->LiveView().findChild<CCornerHandles*>(); }

  // Drags handle `corner` from where the handles show it to `by` screen
  // pixels away; returns where that lands in the held picture, worked out
  // from the view's scaling of a `picture`-sized picture.
  cv::Point2f DragHandle(int corner, QPoint by, QSize picture) {
    const scan::PageCorners start = *m_frame->ScanController()->AdjustedCorners();
    const QRect area = FitPicture(picture, m_frame->LiveView().rect());
    const double sx = area.width() / static_cast<double>(picture.width());
    const double sy = area.height() / static_cast<double>(picture.height());
    const cv::Point2f from = start.points[static_cast<std::size_t>(corner)];
    const QPoint press(static_cast<int>(std::lround(area.left() + from.x * sx)),
                       static_cast<int>(std::lround(area.top() + from.y * sy)));
    const QPoint release = press + by;
    QTest::mousePress(Handles(), Qt::LeftButton, Qt::NoModifier, press);
    QTest::mouseMove(Handles(), press + by / 2);
    QTest::mouseRelease(Handles(), Qt::LeftButton, Qt::NoModifier, release);
    return {static_cast<float>((release.x() - area.left()) / sx), static_cast<float>((release.y() - area.top()) / sy)};
  }

  // The corners page `number` was straightened with, once it is done.
  scan::PageCorners CornersOfPage(int number) const {
    const auto settled = [&] {
      const auto pages = m_frame->ScanController()->Pages();
      return static_cast<int>(pages.size()) >= number &&
             pages[static_cast<std::size_t>(number - 1)].state == scan::PageState::kDone;
    };
    EXPECT_TRUE(QTest::qWaitFor(settled, 60000)) << "page " << number << " read";
    const auto pages = m_frame->ScanController()->Pages();
    return static_cast<int>(pages.size()) >= number ? pages[static_cast<std::size_t>(number - 1)].corners
                                                    : scan::PageCorners{};
  }

  QStringList Pdfs() const { return QDir(Folder()).entryList({"*.pdf"}, QDir::Files); }
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
  EXPECT_EQ(entries,
            (QStringList{"Add page P", "Remove last page Backspace", "Finish PDF Return", "Keep these corners Shift+P",
                         "Use whole picture Alt+P", "Adjust corners\u2026 Ctrl+P"}));
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

// On a turned picture scaled into the user's window size: the handles start
// at the outline found, a drag moves exactly the corner under it, P takes the
// page with those corners, "Keep these corners" keeps the adjusted ones for
// the following pages, and Escape takes nothing.
TEST_F(ScanWindowTest, DraggedHandlesSetTheCornersOfThePageTaken) {
  StartOnTheDocument();
  ASSERT_TRUE(m_frame->Capture().SetRotationDegrees(90));
  m_frame->resize(600, 500);
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_frame->LiveView().size() == QSize(600, 500); }, 5000));
  ASSERT_TRUE(m_frame->LiveView().FitsToWindow());
  const QSize turned(768, 1024);
  CScanController* scan = m_frame->ScanController();
  QAction* adjust = Entry(QKeySequence(Qt::CTRL | Qt::Key_P));
  QAction* add = Entry(QKeySequence(Qt::Key_P));
  QAction* keep = Entry(QKeySequence(Qt::SHIFT | Qt::Key_P));
  ASSERT_TRUE(adjust && add && keep);

  adjust->trigger();
  ASSERT_TRUE(scan->AdjustedCorners().has_value());
  ASSERT_NE(Handles(), nullptr);
  EXPECT_TRUE(Handles()->isVisible());
  EXPECT_TRUE(scan->Message().contains("Escape cancels")) << "the message shows over the held picture";
  std::array<cv::Point2f, 4> scene{};
  for (std::size_t i = 0; i < 4; ++i) {
    const sim::ScenePoint p = sim::DocumentSceneCorners(1024, 768, 0)[i];
    scene[i] = {static_cast<float>(768 - p.y), static_cast<float>(p.x)};  // a quarter turn clockwise
  }
  const scan::PageCorners start = *scan->AdjustedCorners();
  EXPECT_LT(scan::LargestCornerDistance(start, scan::OrderCorners(scene)), 4.0) << "the outline found, turned";

  scan::PageCorners expected = start;
  expected.points[1] = DragHandle(1, QPoint(-40, 25), turned);
  add->trigger();
  EXPECT_FALSE(scan->AdjustedCorners().has_value());
  const scan::PageCorners first = CornersOfPage(1);
  EXPECT_LT(scan::LargestCornerDistance(first, expected), 0.01)
      << "top-right " << first.points[1].x << "," << first.points[1].y << " expected " << expected.points[1].x << ","
      << expected.points[1].y;

  // Adjusted, kept, and used for the next page as it is.
  adjust->trigger();
  scan::PageCorners kept = *scan->AdjustedCorners();
  kept.points[3] = DragHandle(3, QPoint(30, -20), turned);
  keep->trigger();
  ASSERT_TRUE(keep->isChecked());
  add->trigger();
  add->trigger();
  EXPECT_LT(scan::LargestCornerDistance(CornersOfPage(2), kept), 0.01);
  EXPECT_LT(scan::LargestCornerDistance(CornersOfPage(3), kept), 0.01) << "kept for the following page";

  adjust->trigger();
  EXPECT_LT(scan::LargestCornerDistance(*scan->AdjustedCorners(), kept), 0.01)
      << "the handles start at the kept corners";
  DragHandle(0, QPoint(50, 50), turned);
  QTest::keyClick(Handles(), Qt::Key_Escape);
  EXPECT_FALSE(scan->AdjustedCorners().has_value());
  EXPECT_FALSE(Handles()->isVisible());
  EXPECT_EQ(scan->PageCount(), 3) << "Escape takes nothing";
  EXPECT_TRUE(m_frame->isVisible()) << "nor does it end anything";
}

// A picture with no page in it: P takes the whole picture and offers
// "Adjust corners…", which redoes that page with handles from the picture's
// corners; Enter takes the adjusted page in its place.
TEST_F(ScanWindowTest, APageWithoutOutlineCanBeRedoneWithHandles) {
  StartWithCamera();
  ASSERT_TRUE(WaitForFrames(3));
  CScanController* scan = m_frame->ScanController();
  const cv::Mat shown = ShownScanPicture(m_frame->LiveView().Bitmap(), 0);
  ASSERT_FALSE(scan::FindPageOutline(shown).has_value()) << "the test page has no page outline";
  const QSize picture(shown.cols, shown.rows);
  Entry(QKeySequence(Qt::Key_P))->trigger();
  EXPECT_TRUE(scan->Message().contains("Adjust corners\u2026")) << scan->Message().toStdString();
  Entry(QKeySequence(Qt::CTRL | Qt::Key_P))->trigger();
  ASSERT_TRUE(scan->AdjustedCorners().has_value());
  EXPECT_EQ(
      scan::LargestCornerDistance(*scan->AdjustedCorners(), scan::WholePicture(picture.width(), picture.height())),
      0.0);
  scan::PageCorners expected = *scan->AdjustedCorners();
  expected.points[2] = DragHandle(2, QPoint(-60, -45), picture);
  Entry(QKeySequence(Qt::Key_Return))->trigger();
  EXPECT_EQ(scan->PageCount(), 1) << "the adjusted page replaces the whole picture";
  EXPECT_LT(scan::LargestCornerDistance(CornersOfPage(1), expected), 0.01);
}

}  // namespace
