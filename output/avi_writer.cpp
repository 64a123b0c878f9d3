#include "output/avi_writer.h"

#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "liveview/frame_bitmap.h"
#include "output/avi_error.h"
#include "output/avi_file.h"
#include "output/movie_compressor.h"
#include "output/movie_options_dialog.h"
#include "platform/failure_record.h"

namespace {

struct CodecParametersDeleter {
  void operator()(AVCodecParameters* format) const { avcodec_parameters_free(&format); }
};
using CodecParameters = std::unique_ptr<AVCodecParameters, CodecParametersDeleter>;

// Clears the busy flag however AddFrame leaves.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
  ~BusyScope() { m_busy = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& m_busy;
};

}  // namespace

CAviWriter::CAviWriter(std::string fileName, int expectedWidth, int expectedHeight, MovieOptionsChooser chooseOptions)
    : m_fileName(std::move(fileName)),
      m_expectedWidth(expectedWidth),
      m_expectedHeight(expectedHeight),
      m_chooseOptions(std::move(chooseOptions)) {
  // The encoders' progress notes would only clutter the terminal the
  // program was started from; warnings and errors still get through.
  av_log_set_level(AV_LOG_WARNING);
  if (!m_chooseOptions) {
    m_chooseOptions = [] { return AskMovieCompression(nullptr); };
  }
  // Without an AVI writer in the media library no frame can ever be taken.
  if (av_guess_format("avi", nullptr, nullptr) == nullptr) {
    m_bOk = false;
    m_lastError = AviError::kNoAviSupport;
  }
}

CAviWriter::~CAviWriter() { Close(); }

bool CAviWriter::Fail(AviError error) { return Fail(error, m_file ? m_file->LibraryError() : std::string()); }

bool CAviWriter::Fail(AviError error, const std::string& libraryError) {
  m_bOk = false;
  m_lastError = error;
  RecordFailure(error, libraryError);
  return false;
}

bool CAviWriter::Refuse(AviError error) {
  m_lastError = error;
  RecordFailure(error, {});
  return false;
}

void CAviWriter::RecordFailure(AviError error, const std::string& libraryError) const {
  std::string why(AviErrorText(error));
  if (!libraryError.empty()) why += ": " + libraryError;
  platform::Failures().Record("recording a movie to " + m_fileName, why);
}

bool CAviWriter::AddFrame(const std::uint8_t* packedBitmap, int width, int height) {
  if (!m_bOk) return Refuse(AviError::kNotUsable);
  if (m_bBusy) return Refuse(AviError::kNotUsable);  // re-entered from the options dialog
  BusyScope busy(m_bBusy);

  const bool firstFrame = !m_file;
  if (firstFrame) {
    m_expectedWidth = width;
    m_expectedHeight = height;
  }
  if (packedBitmap == nullptr) return Refuse(AviError::kNoBitmap);
  const auto frame = ReadPackedBitmapInfo(packedBitmap);
  if (!frame) return Refuse(AviError::kBadBitmap);
  if (m_expectedWidth >= 0 && m_expectedWidth != frame->width) return Refuse(AviError::kFrameSizeChanged);
  if (m_expectedHeight >= 0 && m_expectedHeight != frame->height) return Refuse(AviError::kFrameSizeChanged);
  // The compressor reads rows in the first frame's order.
  if (!firstFrame && m_frameFormat && frame->bottomUp != m_frameFormat->bottomUp) return Refuse(AviError::kBadBitmap);
  m_expectedWidth = frame->width;
  m_expectedHeight = frame->height;

  if (firstFrame && !SetUpFile(*frame)) return false;
  if (m_position < 0) return Fail(AviError::kWriteFailed);

  // A slot holds one frame: a second tick in the same 66 ms keeps the first.
  if (m_position <= m_lastPosition) return true;

  const std::uint8_t* rows = packedBitmap + frame->PixelOffset();
  const AviError result = m_compressor->Compress(
      rows, m_position, [this](std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame) {
        return WriteSample(position, sample.data(), sample.size(), keyFrame);
      });
  if (result != AviError::kNone) return Fail(result);
  m_lastPosition = m_position;
  m_lastError = AviError::kNone;
  return true;
}

bool CAviWriter::AddFrame(const CFrameBitmap& bitmap) {
  int width = 0;
  int height = 0;
  {
    const auto lock = bitmap.LockBuffers();
    const std::uint8_t* packed = bitmap.PackedBitmap();
    if (packed == nullptr) return AddFrame(nullptr, bitmap.Width(), bitmap.Height());
    m_frameCopy.assign(packed, packed + bitmap.PackedBitmapBytes());
    width = bitmap.Width();
    height = bitmap.Height();
  }
  // The copy is all there is to read: a header that claims more rows than it
  // holds is refused before anything reads them.
  const auto frame = m_frameCopy.size() >= 40 ? ReadPackedBitmapInfo(m_frameCopy.data()) : std::nullopt;
  if (!frame || frame->PixelOffset() + frame->imageBytes > m_frameCopy.size()) return Refuse(AviError::kBadBitmap);
  return AddFrame(m_frameCopy.data(), width, height);
}

bool CAviWriter::SetUpFile(const PackedBitmapInfo& first) {
  m_frameFormat = first;
  AviError error = AviError::kNone;
  std::string libraryError;
  m_file = CAviFile::Create(m_fileName, error, libraryError);
  if (!m_file) return Fail(error, libraryError);

  m_streamInfo = VideoStreamInfoFor(first);
  if (const AviError added = m_file->AddVideoStream(m_streamInfo); added != AviError::kNone) return Fail(added);

  const std::optional<MovieCompression> choice = m_chooseOptions();
  if (!choice) return Fail(AviError::kOptionsCancelled);

  m_compressor = OpenMovieCompressor(*choice, first, error);
  if (!m_compressor) return Fail(error);

  CodecParameters format(avcodec_parameters_alloc());
  if (!format || !m_compressor->Describe(*format)) return Fail(AviError::kFormatRefused);
  if (const AviError set = m_file->SetFormat(*format); set != AviError::kNone) return Fail(set);
  return true;
}

AviError CAviWriter::WriteSample(std::int64_t position, const std::uint8_t* data, std::size_t size, bool keyFrame) {
  return m_file->Write(position, {data, size}, keyFrame);
}

AviError CAviWriter::Close() {
  if (!m_file) return AviError::kNone;
  AviError error = AviError::kNone;
  if (m_compressor && m_file->HasFormat()) {
    error = m_compressor->Finish([this](std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame) {
      return WriteSample(position, sample.data(), sample.size(), keyFrame);
    });
    if (error != AviError::kNone) RecordFailure(error, m_file->LibraryError());
  }
  // A file left without a format (options cancelled, compressor refused) is
  // still closed as a movie without frames, in the full-frame format of the
  // picture it was made for, so that every player opens it.
  if (!m_file->HasFormat() && m_frameFormat) {
    if (!m_file->HasStream()) m_file->AddVideoStream(VideoStreamInfoFor(*m_frameFormat));
    CodecParameters format(avcodec_parameters_alloc());
    if (format && OpenFullFrameCompressor(*m_frameFormat)->Describe(*format)) m_file->SetFormat(*format);
  }
  const AviError closed = m_file->Close();
  if (closed != AviError::kNone) RecordFailure(closed, m_file->LibraryError());
  m_file.reset();
  m_compressor.reset();
  m_bOk = false;
  return error != AviError::kNone ? error : closed;
}
