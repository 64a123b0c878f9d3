// Marker segments of the stream and the table preparation that goes with them.
#pragma once

#include <cstdint>

#include "jpeg/jpeg.h"

namespace jpeg {

// The default COM text: "Tavrocam JPEG Encoder, version [1.00.00.01]".
const char* DefaultCommentText();

void WriteMarker(JpegWorkState& st, std::uint8_t code);
// APP0 (JFIF) or APP14 (Adobe) by colour, then COM.
void WriteApplicationSegments(JpegWorkState& st);
// Scales every quantisation table in use to the quality, converts it for the
// quantiser, and writes it as DQT when write is set.
void PrepareQuantTables(JpegWorkState& st, bool write);
// Writes one DHT segment holding every table when write is set, and derives
// the code tables. 0, or -6 for a table the coder cannot use.
std::int32_t PrepareHuffmanTables(JpegWorkState& st, bool write);
void WriteFrameHeader(JpegWorkState& st);
void WriteRestartInterval(JpegWorkState& st);
void WriteScanHeader(JpegWorkState& st);

}  // namespace jpeg
