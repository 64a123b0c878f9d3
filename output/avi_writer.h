// Writes the movie: one video stream of packed-bitmap frames at 15 positions
// a second. The main window sets the position of each frame from the wall
// clock; the first frame sets up the file and asks the user for the
// compressor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/avi_bitmap_info.h"
#include "output/avi_error.h"
#include "output/avi_stream_info.h"
#include "output/movie_compression.h"

class CAviFile;
class CFrameBitmap;
class IMovieCompressor;

// Asks the user for the compressor; nothing when the user cancels.
using MovieOptionsChooser = std::function<std::optional<MovieCompression>()>;

class CAviWriter {
 public:
  // Sizes of -1 take the first frame's size. Without a chooser the
  // compression options dialog is shown.
  CAviWriter(std::string fileName, int expectedWidth, int expectedHeight, MovieOptionsChooser chooseOptions = {});
  virtual ~CAviWriter();
  CAviWriter(const CAviWriter&) = delete;
  CAviWriter& operator=(const CAviWriter&) = delete;

  // Writes the frame at the current position; true when it is in the file.
  // The width and height are only used on the first frame: the frame's own
  // header decides its size. The bitmap stays the caller's.
  bool AddFrame(const std::uint8_t* packedBitmap, int width, int height);

  // AddFrame on the live frame bitmap, which the worker keeps replacing: the
  // packed bitmap is copied under the bitmap's lock and the copy recorded,
  // so neither compression nor the options dialog holds up the worker (or
  // the painting, which takes the same lock on this thread).
  bool AddFrame(const CFrameBitmap& bitmap);

  // Writes the file's index and closes it; the destructor does the same.
  // A file that never got a frame is still left as a valid, empty movie.
  AviError Close();

  void SetStartTime(std::uint32_t ms) { m_startTime = ms; }
  std::uint32_t StartTime() const { return m_startTime; }
  void SetPosition(int position) { m_position = position; }
  int Position() const { return m_position; }

  bool IsOk() const { return m_bOk; }
  // True while AddFrame runs (the options dialog may be open inside it).
  bool IsBusy() const { return m_bBusy; }
  // Why the last refused frame was refused.
  AviError LastError() const { return m_lastError; }
  const std::string& FileName() const { return m_fileName; }
  const AviStreamInfo& StreamInfo() const { return m_streamInfo; }

 private:
  bool SetUpFile(const PackedBitmapInfo& first);
  // Fail closes the writer to frames, Refuse turns one frame away; both keep
  // the reason for support (platform/failure_record.h).
  bool Fail(AviError error);
  bool Fail(AviError error, const std::string& libraryError);
  bool Refuse(AviError error);
  void RecordFailure(AviError error, const std::string& libraryError) const;
  AviError WriteSample(std::int64_t position, const std::uint8_t* data, std::size_t size, bool keyFrame);

  std::uint32_t m_startTime = 0;
  int m_position = 0;
  std::string m_fileName;
  int m_expectedWidth;
  int m_expectedHeight;
  AviStreamInfo m_streamInfo{};
  std::unique_ptr<CAviFile> m_file;                // the file and its stream
  std::unique_ptr<IMovieCompressor> m_compressor;  // what turns frames into samples
  MovieOptionsChooser m_chooseOptions;
  std::optional<PackedBitmapInfo> m_frameFormat;  // of the first frame
  std::vector<std::uint8_t> m_frameCopy;          // reused for every frame
  std::int64_t m_lastPosition = -1;
  bool m_bOk = true;
  bool m_bBusy = false;
  AviError m_lastError = AviError::kNone;
};
