// Quick capture files: names from the local time, never an overwrite, the
// same bytes as a saved still, and nothing left behind by a failure.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "liveview/frame_bitmap.h"
#include "output/pending_file.h"
#include "output/quick_capture.h"
#include "output/still_writers.h"
#include "still_frames.h"
#include "still_test_support.h"

namespace {

const QDateTime kMorning(QDate(2026, 3, 4), QTime(5, 6, 7, 89));

class QuickCaptureFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    PaintGradient(m_picture, 101, 61);
  }
  QuickCaptureResult Capture(CaptureFormat format, const QString& folder) {
    return WriteQuickCapture(m_picture, folder, format, kMorning);
  }
  QTemporaryDir m_dir;
  CFrameBitmap m_picture;
};

}  // namespace

TEST(QuickCaptureNames, TimeStampedToTheMillisecondWithNumberedRepeats) {
  EXPECT_EQ(QuickCaptureBaseName(kMorning), "TAVROCAM_20260304_050607_089");
  EXPECT_EQ(QuickCaptureBaseName(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999))),
            "TAVROCAM_20261231_235959_999");
  EXPECT_EQ(QuickCaptureFileName("B", CaptureFormat::kJpeg, 1), "B.jpg");
  EXPECT_EQ(QuickCaptureFileName("B", CaptureFormat::kBmp, 1), "B.bmp");
  EXPECT_EQ(QuickCaptureFileName("B", CaptureFormat::kJpeg, 2), "B_2.jpg");
  EXPECT_EQ(QuickCaptureFileName("B", CaptureFormat::kBmp, 13), "B_13.bmp");
}

TEST_F(QuickCaptureFiles, NeverOverwritesAndKeepsTheOlderFiles) {
  const QString folder = m_dir.path();
  ASSERT_TRUE(WriteAll(folder + "/TAVROCAM_20260304_050607_089_2.jpg", "older"));
  const auto first = Capture(CaptureFormat::kJpeg, folder);
  const auto second = Capture(CaptureFormat::kJpeg, folder);
  ASSERT_EQ(first.error, StillError::kNone);
  ASSERT_EQ(second.error, StillError::kNone);
  EXPECT_EQ(first.path, folder + "/TAVROCAM_20260304_050607_089.jpg");
  EXPECT_EQ(second.path, folder + "/TAVROCAM_20260304_050607_089_3.jpg") << "_2 was taken";
  EXPECT_EQ(ReadAll(folder + "/TAVROCAM_20260304_050607_089_2.jpg"),
            std::vector<std::uint8_t>({'o', 'l', 'd', 'e', 'r'}));
  EXPECT_EQ(ReadAll(first.path), ReadAll(second.path));
  EXPECT_EQ(Entries(folder).size(), 3) << Entries(folder).join(",").toStdString();
}

TEST_F(QuickCaptureFiles, BmpAndJpegAreTheBytesOfASavedStill) {
  const QString folder = m_dir.path();
  const auto bmp = Capture(CaptureFormat::kBmp, folder);
  const auto jpeg = Capture(CaptureFormat::kJpeg, folder);
  ASSERT_EQ(bmp.error, StillError::kNone);
  ASSERT_EQ(jpeg.error, StillError::kNone);
  EXPECT_TRUE(bmp.path.endsWith(".bmp"));
  EXPECT_TRUE(jpeg.path.endsWith(".jpg"));
  ASSERT_EQ(SaveStill(m_picture, (folder + "/saved.bmp").toStdString()), StillError::kNone);
  ASSERT_EQ(SaveStill(m_picture, (folder + "/saved.jpg").toStdString()), StillError::kNone);
  EXPECT_EQ(ReadAll(bmp.path), ReadAll(folder + "/saved.bmp"));
  EXPECT_EQ(ReadAll(jpeg.path), ReadAll(folder + "/saved.jpg"));
  EXPECT_EQ(QImage(jpeg.path).size(), QSize(101, 61));
  // The in-place flip of the JPEG encode never leaks into the picture.
  CFrameBitmap fresh;
  PaintGradient(fresh, 101, 61);
  EXPECT_EQ(PackedCopy(m_picture), PackedCopy(fresh));
}

TEST_F(QuickCaptureFiles, MakesAMissingFolderWithItsParents) {
  const QString folder = m_dir.path() + "/Pictures/Tavrocam";
  const auto result = Capture(CaptureFormat::kJpeg, folder);
  ASSERT_EQ(result.error, StillError::kNone);
  EXPECT_EQ(Entries(folder), QStringList{"TAVROCAM_20260304_050607_089.jpg"});
}

TEST_F(QuickCaptureFiles, FailuresLeaveNothingPartial) {
  // A folder that cannot be made.
  EXPECT_EQ(Capture(CaptureFormat::kJpeg, QString(UnwritableFolder()) + "/Tavrocam").error, StillError::kCannotCreate);
  EXPECT_NE(Capture(CaptureFormat::kBmp, QString()).error, StillError::kNone);

  // A disk that fills part-way through, for both formats.
  const QString folder = m_dir.path();
  for (const CaptureFormat format : {CaptureFormat::kBmp, CaptureFormat::kJpeg}) {
    QuickCaptureResult result;
    {
      FileSizeCap cap(1000);
      result = Capture(format, folder);
    }
    EXPECT_NE(result.error, StillError::kNone);
    EXPECT_TRUE(result.path.isEmpty());
    EXPECT_TRUE(Entries(folder).isEmpty()) << Entries(folder).join(",").toStdString();
  }

  // A picture-less bitmap writes nothing either.
  CFrameBitmap empty;
  EXPECT_EQ(WriteQuickCapture(empty, folder, CaptureFormat::kJpeg, kMorning).error, StillError::kNoBitmap);
  EXPECT_TRUE(Entries(folder).isEmpty());
}

TEST(PendingFileAsNew, GivesUpAfterTheLastNameAndDiscardsItsData) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const std::string base = dir.path().toStdString() + "/taken";
  ASSERT_TRUE(WriteAll(QString::fromStdString(base), "mine"));
  {
    PendingFile file(base);
    ASSERT_EQ(file.Create(), StillError::kNone);
    const unsigned char bytes[] = {1, 2, 3};
    ASSERT_EQ(file.Write(bytes), StillError::kNone);
    EXPECT_NE(file.CommitAsNew([&](int) { return base; }), StillError::kNone);
  }
  EXPECT_EQ(Entries(dir.path()), QStringList{"taken"});
  EXPECT_EQ(ReadAll(dir.path() + "/taken").size(), 4u);
}
