// Saving the frame bitmap as BMP and JPEG files, read back by independent
// tools, and every way a save can fail without losing what was on disk.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "answering_dialogs.h"
#include "output/save_image.h"
#include "output/still_commands.h"
#include "output/still_writers.h"
#include "still_frames.h"
#include "still_test_support.h"
#include "tests/support/peak_signal_to_noise.h"

namespace {

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

bool IsBmp(const std::vector<std::uint8_t>& bytes) { return bytes.size() > 2 && bytes[0] == 'B' && bytes[1] == 'M'; }
bool IsJpeg(const std::vector<std::uint8_t>& bytes) {
  return bytes.size() > 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[bytes.size() - 2] == 0xFF &&
         bytes.back() == 0xD9;
}

// Reads a picture file with ImageMagick as top-down RGB.
std::vector<std::uint8_t> ReadWithConvert(const QString& path) {
  QByteArray rgb;
  if (!RunTool(QStringLiteral(TAVROCAM_CONVERT), {path, "-depth", "8", "rgb:-"}, &rgb)) return {};
  return {rgb.begin(), rgb.end()};
}

// Decodes a JPEG with djpeg into binary PPM; answers top-down RGB and the size.
std::vector<std::uint8_t> ReadWithDjpeg(const QString& path, int* width, int* height) {
  QByteArray ppm;
  if (!RunTool(QStringLiteral(TAVROCAM_DJPEG), {"-pnm", path}, &ppm)) return {};
  int maxValue = 0;
  int consumed = 0;
  if (std::sscanf(ppm.constData(), "P6 %d %d %d%n", width, height, &maxValue, &consumed) != 3) return {};
  const auto start = static_cast<qsizetype>(consumed + 1);
  const auto bytes = static_cast<qsizetype>(*width) * *height * 3;
  if (maxValue != 255 || ppm.size() < start + bytes) return {};
  return {ppm.begin() + start, ppm.begin() + start + bytes};
}

class StillSave : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
  int Save(const QString& path) { return SaveImage(m_bitmap, Native(path)); }

  QTemporaryDir m_dir;
  CFrameBitmap m_bitmap;
};

TEST_F(StillSave, BmpOfAVgaFrameIsTheHeaderAndThePackedBitmap) {
  PaintNoise(m_bitmap, 640, 480);
  const auto before = PackedCopy(m_bitmap);
  ASSERT_EQ(Save(Path("a.bmp")), 1);
  const auto file = ReadAll(Path("a.bmp"));
  ASSERT_EQ(file.size(), 921654u);
  const std::vector<std::uint8_t> header(file.begin(), file.begin() + 14);
  EXPECT_EQ(header, (std::vector<std::uint8_t>{'B', 'M', 0x36, 0x10, 0x0E, 0, 0, 0, 0, 0, 54, 0, 0, 0}));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), file.begin() + 14));
  // The first stored row is the bottom row of the picture.
  const std::uint8_t* bottom = m_bitmap.Pixels() + 479 * 640 * 3;
  EXPECT_TRUE(std::equal(bottom, bottom + 640 * 3, file.begin() + 54));
  EXPECT_EQ(PackedCopy(m_bitmap), before);
  EXPECT_EQ(Entries(m_dir.path()), QStringList{"a.bmp"});
}

TEST_F(StillSave, BmpReadsBackEqualInAnIndependentReader) {
  for (const int width : {640, 101}) {
    PaintNoise(m_bitmap, width, 37, static_cast<std::uint32_t>(width));
    ASSERT_EQ(Save(Path("b.BMP")), 1);
    EXPECT_EQ(ReadWithConvert(Path("b.BMP")), TopDownRgb(m_bitmap)) << "width " << width;
  }
}

TEST_F(StillSave, JpegDecodesCloseToTheFrame) {
  PaintGradient(m_bitmap, 640, 480);
  ASSERT_EQ(Save(Path("c.jpg")), 1);
  int width = 0, height = 0;
  const auto decoded = ReadWithDjpeg(Path("c.jpg"), &width, &height);
  ASSERT_EQ(width, 640);
  ASSERT_EQ(height, 480);
  EXPECT_GT(test_support::PeakSignalToNoise(decoded, TopDownRgb(m_bitmap)), 30.0);
  EXPECT_EQ(Entries(m_dir.path()), QStringList{"c.jpg"});
}

TEST_F(StillSave, JpegOfAnOddHeightKeepsEveryRowAndRestoresTheBitmap) {
  // 101 pixels make padded rows; 33 rows have a middle row the flip keeps.
  PaintGradient(m_bitmap, 101, 33);
  const auto before = PackedCopy(m_bitmap);
  ASSERT_EQ(Save(Path("d.jpeg")), 1);
  EXPECT_EQ(PackedCopy(m_bitmap), before);
  int width = 0, height = 0;
  const auto decoded = ReadWithDjpeg(Path("d.jpeg"), &width, &height);
  ASSERT_EQ(width, 101);
  ASSERT_EQ(height, 33);
  const auto expected = TopDownRgb(m_bitmap);
  EXPECT_GT(test_support::PeakSignalToNoise(decoded, expected), 30.0);
  // The middle row on its own, so a row lost or doubled there shows.
  const std::size_t row = 101 * 3;
  const std::vector<std::uint8_t> middle(decoded.begin() + 16 * row, decoded.begin() + 17 * row);
  const std::vector<std::uint8_t> middleExpected(expected.begin() + 16 * row, expected.begin() + 17 * row);
  EXPECT_GT(test_support::PeakSignalToNoise(middle, middleExpected), 30.0);
}

TEST_F(StillSave, SavingTwiceGivesIdenticalFiles) {
  PaintGradient(m_bitmap, 320, 240);
  ASSERT_EQ(Save(Path("e1.jpg")), 1);
  ASSERT_EQ(Save(Path("e2.JPG")), 1);
  ASSERT_EQ(Save(Path("e3.jpe")), 1);
  const auto first = ReadAll(Path("e1.jpg"));
  EXPECT_TRUE(IsJpeg(first));
  EXPECT_EQ(ReadAll(Path("e2.JPG")), first);
  EXPECT_EQ(ReadAll(Path("e3.jpe")), first);
  ASSERT_EQ(Save(Path("e1.bmp")), 1);
  ASSERT_EQ(Save(Path("e2.bmp")), 1);
  EXPECT_EQ(ReadAll(Path("e1.bmp")), ReadAll(Path("e2.bmp")));
}

TEST_F(StillSave, TheFileNamesOwnExtensionPicksTheFormat) {
  PaintGradient(m_bitmap, 64, 48);
  ASSERT_TRUE(QDir(m_dir.path()).mkdir("shots.bmp"));
  ASSERT_TRUE(QDir(m_dir.path()).mkdir("SHOTS.JPG"));
  ASSERT_EQ(Save(Path("shots.bmp/in-folder.jpg")), 1);
  ASSERT_EQ(Save(Path("a.bmp.jpg")), 1);
  ASSERT_EQ(Save(Path("A.BMP.JPEG")), 1);
  ASSERT_EQ(Save(Path("SHOTS.JPG/in-folder.bmp")), 1);
  ASSERT_EQ(Save(Path("b.jpg.BMP")), 1);
  EXPECT_TRUE(IsJpeg(ReadAll(Path("shots.bmp/in-folder.jpg"))));
  EXPECT_TRUE(IsJpeg(ReadAll(Path("a.bmp.jpg"))));
  EXPECT_TRUE(IsJpeg(ReadAll(Path("A.BMP.JPEG"))));
  EXPECT_TRUE(IsBmp(ReadAll(Path("SHOTS.JPG/in-folder.bmp"))));
  EXPECT_TRUE(IsBmp(ReadAll(Path("b.jpg.BMP"))));

  // A name with no known extension writes nothing and says so.
  EXPECT_EQ(Save(Path("c.png")), 0);
  EXPECT_EQ(Save(Path("c")), 0);
  EXPECT_EQ(SaveStill(m_bitmap, Native(Path("c.bmpx"))), StillError::kUnknownExtension);
  EXPECT_FALSE(QFile::exists(Path("c.png")));
  EXPECT_FALSE(QFile::exists(Path("c")));
}

TEST_F(StillSave, NothingToSaveBeforeTheFirstFrame) {
  EXPECT_EQ(SaveStill(m_bitmap, Native(Path("a.bmp"))), StillError::kNoBitmap);
  EXPECT_EQ(SaveStill(m_bitmap, Native(Path("a.jpg"))), StillError::kNoBitmap);
  // Eight-bit frames have no packed bitmap to write.
  ASSERT_TRUE(m_bitmap.Create(16, 16, 8));
  EXPECT_NE(SaveStill(m_bitmap, Native(Path("b.jpg"))), StillError::kNone);
  EXPECT_TRUE(Entries(m_dir.path()).isEmpty());
}

TEST_F(StillSave, AFolderThatRefusesFilesFailsBothFormats) {
  PaintGradient(m_bitmap, 64, 48);
  const auto before = PackedCopy(m_bitmap);
  const QString folder = QString::fromLatin1(UnwritableFolder());
  EXPECT_EQ(SaveStill(m_bitmap, Native(folder + "/tavrocam.bmp")), StillError::kCannotCreate);
  EXPECT_EQ(SaveStill(m_bitmap, Native(folder + "/tavrocam.jpg")), StillError::kCannotCreate);
  EXPECT_EQ(SaveStill(m_bitmap, Native(Path("missing/a.jpg"))), StillError::kCannotCreate);
  EXPECT_EQ(PackedCopy(m_bitmap), before);
}

TEST_F(StillSave, AFullDiskLeavesTheOlderFileAndNoPartialOne) {
  PaintNoise(m_bitmap, 640, 480);
  const auto before = PackedCopy(m_bitmap);
  ASSERT_TRUE(WriteAll(Path("a.bmp"), "older picture"));
  ASSERT_TRUE(WriteAll(Path("a.jpg"), "older picture"));
  {
    FileSizeCap cap(64 * 1024);
    EXPECT_EQ(SaveStill(m_bitmap, Native(Path("a.bmp"))), StillError::kWriteFailed);
    EXPECT_NE(SaveStill(m_bitmap, Native(Path("a.jpg"))), StillError::kNone);
    EXPECT_NE(SaveStill(m_bitmap, Native(Path("new.jpg"))), StillError::kNone);
  }
  EXPECT_EQ(ReadAll(Path("a.bmp")), ReadAll(Path("a.jpg")));
  EXPECT_EQ(ReadAll(Path("a.bmp")).size(), 13u);
  EXPECT_EQ(Entries(m_dir.path()), (QStringList{"a.bmp", "a.jpg"}));
  // The flipped rows were put back even though the encoder failed.
  EXPECT_EQ(PackedCopy(m_bitmap), before);
}

TEST_F(StillSave, ANameTakenByAFolderIsNotReplaced) {
  PaintGradient(m_bitmap, 64, 48);
  ASSERT_TRUE(QDir(m_dir.path()).mkdir("taken.jpg"));
  EXPECT_EQ(SaveStill(m_bitmap, Native(Path("taken.jpg"))), StillError::kCannotReplace);
  EXPECT_EQ(Entries(m_dir.path()), QStringList{"taken.jpg"});
}

}  // namespace

namespace {

TEST(SaveAsCommand, AsksWithBothFiltersAndSavesWhatTheUserNamed) {
  QTemporaryDir dir;
  CFrameBitmap bitmap;
  PaintGradient(bitmap, 64, 48);
  AnsweringDialogs dialogs;

  // Cancelled: nothing written.
  StillOutcome outcome = SaveFrameAs(bitmap, dialogs);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_FALSE(outcome.Failed());
  EXPECT_EQ(dialogs.askedFilters, (QStringList{"BITMAP(*.bmp)", "JPEG(*.jpg)"}));
  EXPECT_EQ(dialogs.askedSuffix, "BMP");
  EXPECT_TRUE(Entries(dir.path()).isEmpty());

  dialogs.saveAnswer = dir.filePath("still.BMP");
  outcome = SaveFrameAs(bitmap, dialogs);
  EXPECT_FALSE(outcome.cancelled);
  EXPECT_FALSE(outcome.Failed());
  EXPECT_TRUE(IsBmp(ReadAll(dir.filePath("still.BMP"))));

  dialogs.saveAnswer = dir.filePath("still.gif");
  EXPECT_EQ(SaveFrameAs(bitmap, dialogs).error, StillError::kUnknownExtension);
  EXPECT_EQ(Entries(dir.path()), QStringList{"still.BMP"});
}

}  // namespace
