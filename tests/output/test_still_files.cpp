// The pieces under every still save: the format a name asks for, the BMP file
// header, and the write-then-rename file that never leaves a partial file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>

#include "output/bmp_file.h"
#include "output/pending_file.h"
#include "output/still_format.h"
#include "still_test_support.h"

namespace {

TEST(StillFormat, FollowsTheFileNamesOwnExtension) {
  struct Case {
    const char* name;
    StillFormat format;
  } const cases[] = {
      {"/tmp/a.bmp", StillFormat::kBmp},
      {"/tmp/A.BMP", StillFormat::kBmp},
      {"/tmp/a.Bmp", StillFormat::kBmp},
      {"/tmp/a.jpg", StillFormat::kJpeg},
      {"/tmp/A.JPG", StillFormat::kJpeg},
      {"/tmp/a.jpeg", StillFormat::kJpeg},
      {"/tmp/a.JPEG", StillFormat::kJpeg},
      {"/tmp/a.jpe", StillFormat::kJpeg},
      {"/tmp/a.JPE", StillFormat::kJpeg},
      // An inner ".bmp" does not decide the format; the last extension does.
      {"/tmp/a.bmp.jpg", StillFormat::kJpeg},
      {"/tmp/a.jpg.bmp", StillFormat::kBmp},
      {"/tmp/shots.bmp/a.jpg", StillFormat::kJpeg},
      {"/tmp/SHOTS.BMP/A.JPG", StillFormat::kJpeg},
      {"/tmp/shots.jpg/a.bmp", StillFormat::kBmp},
      {"/tmp/a.png", StillFormat::kUnknown},
      {"/tmp/a", StillFormat::kUnknown},
      {"/tmp/a.bmpx", StillFormat::kUnknown},
      {"/tmp/a.jpgx", StillFormat::kUnknown},
      {"/tmp/x.bmp/", StillFormat::kUnknown},
      {"/tmp/x.bmp/a", StillFormat::kUnknown},
      {"", StillFormat::kUnknown},
  };
  for (const Case& c : cases) EXPECT_EQ(StillFormatForName(QString::fromUtf8(c.name)), c.format) << c.name;
}

std::vector<std::uint8_t> PackedBitmap(int width, int height, int bits, std::uint32_t coloursUsed = 0) {
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bits + 31) / 32 * 4;
  const std::uint32_t entries = coloursUsed ? coloursUsed : bits <= 8 ? 1u << bits : 0;
  std::vector<std::uint8_t> packed(40 + entries * 4 + stride * height, 0);
  auto put = [&](std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) packed[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(0, 40, 4);
  put(4, static_cast<std::uint32_t>(width), 4);
  put(8, static_cast<std::uint32_t>(height), 4);
  put(12, 1, 2);
  put(14, static_cast<std::uint32_t>(bits), 2);
  put(20, stride * height, 4);
  put(32, coloursUsed, 4);
  return packed;
}

TEST(BmpFile, HeaderOfATrueColourFrame) {
  const auto packed = PackedBitmap(640, 480, 24);
  const auto layout = BmpLayoutFor(packed);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->fileBytes, 921654u);
  EXPECT_EQ(layout->pixelOffset, 54u);
  const auto header = BmpFileHeader(*layout);
  const std::array<std::uint8_t, 14> expected{'B', 'M', 0x36, 0x10, 0x0E, 0x00, 0, 0, 0, 0, 54, 0, 0, 0};
  EXPECT_EQ(header, expected);
}

TEST(BmpFile, ColourTableSizesFollowTheHeader) {
  // 8 bits and no colours-used count: a full table of 256 four-byte entries.
  auto layout = BmpLayoutFor(PackedBitmap(10, 3, 8));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->pixelOffset, 54u + 1024u);
  EXPECT_EQ(layout->fileBytes, 54u + 1024u + 12u * 3u);
  // The colours-used count, when present, gives the table's length.
  layout = BmpLayoutFor(PackedBitmap(10, 3, 8, 16));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->pixelOffset, 54u + 64u);
  // A row of 101 pixels takes 303 bytes, stored in 304.
  layout = BmpLayoutFor(PackedBitmap(101, 2, 24));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->fileBytes, 54u + 304u * 2u);
}

TEST(BmpFile, RejectsHeadersThatClaimMoreThanThereIs) {
  auto packed = PackedBitmap(64, 64, 24);
  EXPECT_FALSE(BmpLayoutFor(std::span(packed).first(packed.size() - 1)));
  EXPECT_FALSE(BmpLayoutFor(std::span(packed).first(3)));
  packed[0] = 20;  // no such header size
  EXPECT_FALSE(BmpLayoutFor(packed));
  packed = PackedBitmap(64, 64, 24);
  packed[20] = packed[21] = packed[22] = packed[23] = 0xFF;  // absurd image size
  EXPECT_FALSE(BmpLayoutFor(packed));
}

std::string Local(const QTemporaryDir& dir, const char* name) {
  return QFile::encodeName(dir.filePath(QString::fromUtf8(name))).toStdString();
}

const std::uint8_t kBytes[] = {1, 2, 3, 4, 5, 6, 7, 8};

// Starts the save of kBytes; the caller commits it or lets it go.
void CreateAndWrite(PendingFile& file) {
  ASSERT_EQ(file.Create(), StillError::kNone);
  ASSERT_EQ(file.Write(kBytes), StillError::kNone);
}

// What a save that never committed must leave: the older file alone, as it was.
void ExpectOnlyTheOldFile(const QTemporaryDir& dir, const char* name) {
  EXPECT_EQ(Entries(dir.path()), QStringList{name});
  EXPECT_EQ(ReadAll(dir.filePath(name)), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST(PendingFile, TakesTheNameOnlyWhenCommitted) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteAll(dir.filePath("a.bmp"), "old"));
  {
    PendingFile file(Local(dir, "a.bmp"));
    ASSERT_NO_FATAL_FAILURE(CreateAndWrite(file));
    // Until the commit the old file is untouched and the new one is hidden.
    EXPECT_EQ(ReadAll(dir.filePath("a.bmp")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(dir.path()).size(), 2);
    ASSERT_EQ(file.Commit(), StillError::kNone);
  }
  EXPECT_EQ(ReadAll(dir.filePath("a.bmp")), std::vector<std::uint8_t>(std::begin(kBytes), std::end(kBytes)));
  EXPECT_EQ(Entries(dir.path()), QStringList{"a.bmp"});
}

TEST(PendingFile, AbandonedFileLeavesNothingBehind) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteAll(dir.filePath("a.jpg"), "old"));
  {
    PendingFile file(Local(dir, "a.jpg"));
    ASSERT_NO_FATAL_FAILURE(CreateAndWrite(file));
  }
  ExpectOnlyTheOldFile(dir, "a.jpg");
}

TEST(PendingFile, ReportsEveryWayAWriteCanFail) {
  // A folder that refuses new files, even to root.
  PendingFile refused(std::string(UnwritableFolder()) + "/tavrocam-still.bmp");
  EXPECT_EQ(refused.Create(), StillError::kCannotCreate);
  EXPECT_EQ(refused.Write(kBytes), StillError::kWriteFailed);
  EXPECT_EQ(refused.Commit(), StillError::kWriteFailed);

  QTemporaryDir dir;
  // A folder that does not exist, and a "folder" that is a file.
  EXPECT_EQ(PendingFile(Local(dir, "missing/a.bmp")).Create(), StillError::kCannotCreate);
  ASSERT_TRUE(WriteAll(dir.filePath("plain"), "x"));
  EXPECT_EQ(PendingFile(Local(dir, "plain/a.bmp")).Create(), StillError::kCannotCreate);

  // A name taken by a folder cannot be replaced by a file.
  ASSERT_TRUE(QDir(dir.path()).mkdir("taken.bmp"));
  {
    PendingFile file(Local(dir, "taken.bmp"));
    ASSERT_NO_FATAL_FAILURE(CreateAndWrite(file));
    EXPECT_EQ(file.Commit(), StillError::kCannotReplace);
  }
  EXPECT_EQ(Entries(dir.path()), (QStringList{"plain", "taken.bmp"}));
  EXPECT_TRUE(Entries(dir.filePath("taken.bmp")).isEmpty());
}

TEST(PendingFile, FullDiskKeepsTheOldFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteAll(dir.filePath("a.bmp"), "old"));
  const std::vector<std::uint8_t> big(64 * 1024, 0x5A);
  {
    PendingFile file(Local(dir, "a.bmp"));
    ASSERT_EQ(file.Create(), StillError::kNone);
    FileSizeCap cap(4096);
    EXPECT_EQ(file.Write(big), StillError::kWriteFailed);
  }
  ExpectOnlyTheOldFile(dir, "a.bmp");
}

TEST(PendingFile, ReplacingKeepsTheOldFilesAccessRights) {
  QTemporaryDir dir;
  ASSERT_TRUE(WriteAll(dir.filePath("a.bmp"), "old"));
  ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("a.bmp")).constData(), 0640), 0);
  PendingFile file(Local(dir, "a.bmp"));
  ASSERT_EQ(file.Create(), StillError::kNone);
  // A writer that opens the file by name (as the JPEG encoder does).
  file.CloseDescriptor();
  ASSERT_TRUE(WriteAll(QString::fromStdString(file.TempPath()), "new"));
  ASSERT_EQ(file.Commit(), StillError::kNone);
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("a.bmp")).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadAll(dir.filePath("a.bmp")), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
}

}  // namespace
