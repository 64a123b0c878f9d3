// Printing the frame through the print dialog into a PDF file, which is then
// rasterised at 10 pixels per millimetre to measure where the picture landed.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include "answering_dialogs.h"
#include "output/save_image.h"
#include "output/still_commands.h"
#include "output/still_print.h"
#include "still_frames.h"
#include "still_test_support.h"

namespace {

constexpr double kPixelsPerMm = 10.0;  // pdftoppm at 254 dpi

struct Raster {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> grey;
  int At(int x, int y) const { return grey[static_cast<std::size_t>(y) * width + x]; }
};

Raster RasterisePage(const QString& pdf, const QString& folder) {
  const QString prefix = folder + "/page";
  if (!RunTool(QStringLiteral(TAVROCAM_PDFTOPPM), {"-r", "254", "-gray", "-singlefile", pdf, prefix})) return {};
  const auto pgm = ReadAll(prefix + ".pgm");
  Raster raster;
  int maxValue = 0, consumed = 0;
  if (pgm.empty() || std::sscanf(reinterpret_cast<const char*>(pgm.data()), "P5 %d %d %d%n", &raster.width,
                                 &raster.height, &maxValue, &consumed) != 3)
    return {};
  const std::size_t start = static_cast<std::size_t>(consumed) + 1;
  const std::size_t bytes = static_cast<std::size_t>(raster.width) * raster.height;
  if (maxValue != 255 || pgm.size() < start + bytes) return {};
  raster.grey.assign(pgm.begin() + static_cast<std::ptrdiff_t>(start),
                     pgm.begin() + static_cast<std::ptrdiff_t>(start + bytes));
  return raster;
}

// The box around everything printed, in millimetres.
QRectF InkBox(const Raster& page) {
  int left = page.width, top = page.height, right = -1, bottom = -1;
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x)
      if (page.At(x, y) < 200) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (right < 0) return {};
  return {left / kPixelsPerMm, top / kPixelsPerMm, (right + 1 - left) / kPixelsPerMm,
          (bottom + 1 - top) / kPixelsPerMm};
}

QString PdfInfo(const QString& pdf) {
  QByteArray out;
  RunTool(QStringLiteral(TAVROCAM_PDFINFO), {pdf}, &out);
  return QString::fromUtf8(out);
}

// Dark upper half and a lighter lower half, so an upside-down print shows.
void PaintTwoTone(CFrameBitmap& bitmap, int width, int height) {
  ASSERT_TRUE(bitmap.Create(width, height, 24));
  std::uint8_t* p = bitmap.Pixels();
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width * 3; ++i) *p++ = y < height / 2 ? 20 : 140;
  auto lock = bitmap.LockBuffers();
  bitmap.SyncToPackedBitmap();
}

class PrintPage : public ::testing::Test {
 protected:
  PrintPage() { m_dialogs.pdfPath = m_dir.filePath("page.pdf"); }
  QString StartDir() const { return m_dir.path(); }
  QString PrintBmp() const { return m_dir.filePath("print.bmp"); }

  QTemporaryDir m_dir;
  CFrameBitmap m_bitmap;
  AnsweringDialogs m_dialogs;
};

TEST_F(PrintPage, AVgaFramePrintsAt0Point2MmPerPixel5MmFromTheCorner) {
  PaintTwoTone(m_bitmap, 640, 480);
  const StillOutcome outcome = PrintFrame(m_bitmap, StartDir(), m_dialogs);
  ASSERT_FALSE(outcome.Failed()) << StillErrorText(outcome.error);
  ASSERT_FALSE(outcome.cancelled);
  EXPECT_EQ(m_dialogs.printerQuestions, 1);

  const Raster page = RasterisePage(m_dialogs.pdfPath, m_dir.path());
  ASSERT_FALSE(page.grey.empty());
  // A4 at 10 pixels a millimetre.
  EXPECT_NEAR(page.width, 2100, 2);
  const QRectF box = InkBox(page);
  // Printable area from 12 mm left and 17 mm top; the picture 5 mm further in.
  EXPECT_NEAR(box.left(), 17.0, 0.5);
  EXPECT_NEAR(box.top(), 22.0, 0.5);
  EXPECT_NEAR(box.width(), 128.0, 0.5);
  EXPECT_NEAR(box.height(), 96.0, 0.5);
  // Upright: the dark half at the top.
  const int x = static_cast<int>((box.left() + 64) * kPixelsPerMm);
  EXPECT_LT(page.At(x, static_cast<int>((box.top() + 10) * kPixelsPerMm)), 60);
  EXPECT_GT(page.At(x, static_cast<int>((box.bottom() - 10) * kPixelsPerMm)), 100);

  const QString info = PdfInfo(m_dialogs.pdfPath);
  EXPECT_TRUE(info.contains(QRegularExpression("Title:\\s+TAVROCAM\\n"))) << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
  EXPECT_TRUE(m_dialogs.messages.isEmpty());
}

TEST_F(PrintPage, AnXgaFramePrintsUnscaled) {
  PaintTwoTone(m_bitmap, 1024, 768);
  m_dialogs.pageLayout =
      QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
  ASSERT_FALSE(PrintFrame(m_bitmap, StartDir(), m_dialogs).Failed());
  const QRectF box = InkBox(RasterisePage(m_dialogs.pdfPath, m_dir.path()));
  EXPECT_NEAR(box.left(), 15.0, 0.5);
  EXPECT_NEAR(box.top(), 15.0, 0.5);
  EXPECT_NEAR(box.width(), 204.8, 0.5);
  EXPECT_NEAR(box.height(), 153.6, 0.5);
}

TEST_F(PrintPage, PrintingTwiceRewritesPrintBmpInTheStartFolder) {
  QTemporaryDir elsewhere;
  const QString savedCurrent = QDir::currentPath();
  // A save dialog may have moved the working folder since start-up.
  ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
  PaintNoise(m_bitmap, 320, 240, 1);
  ASSERT_FALSE(PrintFrame(m_bitmap, StartDir(), m_dialogs).Failed());
  const auto first = ReadAll(PrintBmp());
  PaintNoise(m_bitmap, 320, 240, 2);
  ASSERT_FALSE(PrintFrame(m_bitmap, StartDir(), m_dialogs).Failed());
  const auto second = ReadAll(PrintBmp());
  QDir::setCurrent(savedCurrent);

  ASSERT_EQ(first.size(), 54u + 320u * 240u * 3u);
  EXPECT_NE(first, second);
  const std::uint8_t* packed = m_bitmap.PackedBitmap();
  EXPECT_TRUE(std::equal(packed, packed + m_bitmap.PackedBitmapBytes(), second.begin() + 14));
  EXPECT_TRUE(Entries(elsewhere.path()).isEmpty());
  EXPECT_EQ(Entries(m_dir.path()), (QStringList{"page.pdf", "print.bmp"}));
}

TEST_F(PrintPage, CancellingPrintsNothingButKeepsTheFile) {
  PaintNoise(m_bitmap, 64, 48);
  m_dialogs.pdfPath.clear();
  const StillOutcome outcome = PrintFrame(m_bitmap, StartDir(), m_dialogs);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_FALSE(outcome.Failed());
  EXPECT_EQ(Entries(m_dir.path()), QStringList{"print.bmp"});
}

TEST_F(PrintPage, AnUnwritablePrintFileNeverPrintsAnOlderPicture) {
  PaintNoise(m_bitmap, 640, 480, 7);
  // An older print.bmp of another picture lies in the start folder.
  CFrameBitmap older;
  PaintNoise(older, 64, 48, 8);
  ASSERT_EQ(SaveImage(older, QFile::encodeName(PrintBmp()).toStdString()), 1);
  const auto olderBytes = ReadAll(PrintBmp());
  {
    FileSizeCap cap(16 * 1024);
    const StillOutcome outcome = PrintFrame(m_bitmap, StartDir(), m_dialogs);
    EXPECT_EQ(outcome.error, StillError::kWriteFailed);
  }
  EXPECT_EQ(m_dialogs.printerQuestions, 0);
  EXPECT_FALSE(QFile::exists(m_dialogs.pdfPath));
  EXPECT_EQ(ReadAll(PrintBmp()), olderBytes);

  // A start folder that refuses files: nothing printed either.
  EXPECT_EQ(PrintFrame(m_bitmap, QString::fromLatin1(UnwritableFolder()), m_dialogs).error, StillError::kCannotCreate);
  EXPECT_EQ(m_dialogs.printerQuestions, 0);
}

TEST_F(PrintPage, AnUnreadablePictureStartsNoDocument) {
  ASSERT_TRUE(WriteAll(PrintBmp(), QByteArray("BM") + QByteArray(100, '\x7f')));
  QPrinter printer(QPrinter::HighResolution);
  ASSERT_TRUE(m_dialogs.ChoosePrinter(printer));
  EXPECT_EQ(PrintPictureFile(printer, PrintBmp()), StillError::kPictureUnreadable);
  EXPECT_EQ(PrintPictureFile(printer, m_dir.filePath("missing.bmp")), StillError::kPictureUnreadable);
  EXPECT_FALSE(QFile::exists(m_dialogs.pdfPath));
}

TEST_F(PrintPage, APrinterThatCannotStartFails) {
  PaintNoise(m_bitmap, 64, 48);
  // The PDF goes into a folder that refuses files.
  m_dialogs.pdfPath = QString::fromLatin1(UnwritableFolder()) + "/tavrocam.pdf";
  EXPECT_EQ(PrintFrame(m_bitmap, StartDir(), m_dialogs).error, StillError::kPrintFailed);
}

}  // namespace
