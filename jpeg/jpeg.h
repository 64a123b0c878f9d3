// Baseline JPEG/JFIF encoder: three free functions on one caller-owned record.
//
//   JPEG_PROPERTIES p;
//   if (JpegInit(&p) == 0) {
//     p.dib_pixels = ...; p.dib_width = w; p.dib_height = h; ...
//     p.jpeg_file_name = "out.jpg";
//     int32_t rc = JpegWrite(&p, WholeImageToFile);
//     JpegFree(&p);  // also after a failed write
//   }
//
// The record must not be used by two threads at once; different records are
// independent. Every public field is 32 bits wide (pointers are native).
#pragma once

#include <cstdint>

#include "jpeg/work_state.h"

struct JPEG_PROPERTIES {
  // Nonzero: JpegWrite takes the image description from the working state
  // (prepared by the caller) instead of copying it from the fields below.
  std::int32_t skip_copy_in;
  const std::uint8_t* dib_pixels;  // first byte of the source pixel data
  std::int32_t dib_width;          // pixels
  std::int32_t dib_height;         // rows; negative: stored bottom-up
  std::int32_t dib_pad;            // bytes after each source row
  std::int32_t dib_channels;       // bytes per source pixel
  std::int32_t dib_color;          // JpegColor
  std::int32_t dib_subsampling;    // 0, or 2 for packed YCbCr 4:2:2
  const char* jpeg_file_name;      // file modes
  std::uint8_t* jpeg_buffer;       // buffer modes
  std::int32_t jpeg_size;          // in: buffer capacity; out: bytes produced
  std::int32_t jpeg_width;
  std::int32_t jpeg_height;
  std::int32_t jpeg_channels;
  std::int32_t jpeg_color;        // JpegColor
  std::int32_t jpeg_subsampling;  // JpegSampling
  std::int32_t thumb_width;       // not used by the encoder
  std::int32_t thumb_height;      // not used by the encoder
  std::int32_t color_conversion;  // nonzero: chroma uses quantisation table 1
  std::int32_t upsampling;        // kept, not consulted by the encoder
  std::int32_t jpeg_quality;      // 1..100

  JpegWorkState state;  // the codec's own; callers leave it alone
};

// Colour codes of dib_color and jpeg_color.
enum JpegColor : std::int32_t {
  JpegColorRgb = 1,
  JpegColorBgr = 2,
  JpegColorYCbCr = 3,
  JpegColorGrey = 4,
  JpegColorFourChannel = 5,  // stored without colour transform
  JpegColorYCbCrK = 6,       // YCbCr plus a fourth channel
  JpegColorOther = 255,      // channels passed through uninterpreted
};

// Sampling codes of jpeg_subsampling: factors of component 1 / 2 and 3 / 4.
enum JpegSampling : std::int32_t {
  JpegSampling111 = 0,   // 1x1 / 1x1 / 1x1
  JpegSampling420 = 1,   // 2x2 / 1x1 / none
  JpegSampling422 = 2,   // 2x1 / 1x1 / none
  JpegSampling420K = 3,  // 2x2 / 1x1 / 2x2
  JpegSampling422K = 4,  // 2x1 / 1x1 / 2x1
};

// Write modes: even ones go to jpeg_file_name, odd ones to jpeg_buffer.
// 0..7 and 14..21 are decoding modes, which this encoder rejects.
enum JpegWriteMode : std::int32_t {
  WholeImageToFile = 8,
  WholeImageToBuffer = 9,
  TablesToFile = 10,
  TablesToBuffer = 11,
  ImageOnlyToFile = 12,
  ImageOnlyToBuffer = 13,
};

enum JpegResult : std::int32_t {
  JpegRoiSuccess = 2,
  JpegInterruptSuccess = 1,
  JpegSuccess = 0,
  JpegErrException = -1,
  JpegErrInvalidEncoder = -2,
  JpegErrUnsupportedSubsampling = -3,
  JpegErrUnsupportedBytesPerPixel = -4,
  JpegErrMemory = -5,
  JpegErrBadHuffmanTable = -6,
  JpegErrBadQuantTable = -7,
  JpegErrInvalidProperties = -8,
  JpegErrCloseFile = -9,
  JpegErrInvalidFileName = -10,
  JpegErrEof = -11,
  JpegErrNotSupported = -12,
  JpegErrNotJpeg = -13,
  JpegErrComponents = -14,
  JpegErrSof = -15,
  JpegErrDnl = -16,
  JpegErrNoHuffmanTable = -17,
  JpegErrNoQuantTable = -18,
  JpegErrNoFrame = -19,
  JpegErrMultipleFrames = -20,
  JpegErrData = -21,
  JpegErrNoImage = -22,
  JpegErrFile = -23,
  JpegErrInternal = -24,
  JpegErrBadRst = -25,
  JpegErrThumbnailTooSmall = -26,
  JpegErrThumbnailColor = -27,
  JpegErrBufferTooSmall = -28,
  JpegErrUnsupportedFrame = -29,
  JpegErrCommentAccess = -30,
  JpegErrReserved = -99,
};

// Prepares the record: defaults in every public field, kernel table for this
// processor. 0, or -5 when an allocation fails.
std::int32_t JpegInit(JPEG_PROPERTIES* props);

// Encodes according to mode (JpegWriteMode); sets jpeg_size. 0 or a negative
// JpegResult. In file modes the file is created and closed within the call.
std::int32_t JpegWrite(JPEG_PROPERTIES* props, std::int32_t mode);

// Releases what JpegInit and JpegWrite acquired. Call once per successful
// JpegInit, also after a failed JpegWrite.
std::int32_t JpegFree(JPEG_PROPERTIES* props);

// Fixed English text of a result code; "Unknown error code" for others.
const char* JpegErrorText(std::int32_t code);
