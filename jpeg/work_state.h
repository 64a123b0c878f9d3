// The encoder's working state, embedded in the caller's JPEG_PROPERTIES so
// that an encode needs no heap memory beyond the record's kernel table.
// Only the codec reads or writes it; its layout may change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jpeg {

struct KernelTable;

inline constexpr int kFileBufferSize = 4096;
inline constexpr int kMaxComponents = 4;
inline constexpr int kMaxQuantTables = 4;
inline constexpr int kMaxHuffmanDescriptors = 8;
inline constexpr int kMaxHuffmanTables = 4;  // per class
inline constexpr int kWorkspaceBlocks = 10;

// Where the entropy coder and the segment writers put their bytes: the
// 4096-byte file buffer in file modes, the caller's buffer in buffer modes.
struct OutputSink {
  std::uint64_t bit_acc;   // pending code bits, right-aligned
  std::int32_t bit_count;  // how many of bit_acc's low bits are pending
  std::int32_t error;      // first failure (-23 or -28); 0 while all is well
  std::uint8_t* cur;       // next byte goes here
  std::uint8_t* start;     // start of the output area
  std::uint8_t* end;       // one past the output area
  std::int64_t flushed;    // bytes already handed to the file
  std::int64_t capacity;   // size of the output area
  int fd;                  // output file, -1 in buffer modes or when closed
  std::uint8_t file_buffer[kFileBufferSize];
};

// The image description copied from the public fields at each write.
struct ImageFields {
  const std::uint8_t* dib_pixels;
  std::int32_t dib_width;
  std::int32_t dib_height;
  std::int32_t dib_pad;
  std::int32_t dib_channels;
  std::int32_t dib_color;
  std::int32_t dib_subsampling;
  const char* jpeg_file_name;
  std::uint8_t* jpeg_buffer;
  std::int32_t jpeg_size;
  std::int32_t jpeg_width;
  std::int32_t jpeg_height;
  std::int32_t jpeg_channels;
  std::int32_t jpeg_color;
  std::int32_t jpeg_subsampling;
  std::int32_t thumb_width;
  std::int32_t thumb_height;
  std::int32_t color_conversion;
  std::int32_t upsampling;
  std::int32_t jpeg_quality;
};

struct QuantSlot {
  const std::uint8_t* base;  // 64 base values, zigzag order; null: slot unused
  std::int32_t id;
  std::uint16_t prepared[64];                 // quality-scaled values 1..255, zigzag order
  alignas(32) std::uint16_t reciprocals[64];  // 32768 / value, natural order
  std::int32_t ready;                         // reciprocals valid for this write
};

struct HuffmanDescriptor {
  const std::uint8_t* counts;  // codes of length 1..16
  const std::uint8_t* symbols;
  std::int32_t table_class;  // 0 DC, 1 AC
  std::int32_t id;
};

struct HuffmanCodeTable {
  std::uint16_t code[256];
  std::int32_t length[256];  // 0: symbol has no code
  std::int32_t ready;
};

struct ComponentEntry {
  std::int32_t index;
  std::int32_t h;
  std::int32_t v;
  std::int32_t quant_selector;
};

struct FrameGeometry {
  std::int32_t precision;
  std::int32_t width;
  std::int32_t height;
  std::int32_t hmax;
  std::int32_t vmax;
  std::int32_t subsampled;  // some component is not 1x1
  std::int32_t mcu_width;
  std::int32_t mcu_height;
  std::int32_t mcus_per_row;
  std::int32_t mcu_rows;
  std::int64_t total_mcus;
};

}  // namespace jpeg

struct JpegWorkState {
  std::int32_t mode;  // -1 until the first write
  jpeg::ImageFields image;
  std::int64_t stride;          // signed: negative for bottom-up rows
  const std::uint8_t* top_row;  // the picture's top row in memory
  std::int32_t sampling;        // working sampling code
  std::int32_t dct_method;      // 0 or 1; only 1 encodes
  std::int32_t needs_color_conversion;
  std::int32_t restart_interval;  // MCUs between RST markers; 0: none

  std::uint16_t jfif_version;
  std::uint8_t density_unit;
  std::uint16_t x_density;
  std::uint16_t y_density;
  std::uint16_t adobe_version;
  std::uint16_t adobe_flags0;
  std::uint16_t adobe_flags1;
  const std::uint8_t* comment;  // caller comment; null: the default text
  std::uint16_t comment_length;

  jpeg::QuantSlot quant[jpeg::kMaxQuantTables];
  std::int32_t quant_count;
  jpeg::HuffmanDescriptor huffman[jpeg::kMaxHuffmanDescriptors];
  std::int32_t huffman_pairs;
  jpeg::HuffmanCodeTable dc_codes[jpeg::kMaxHuffmanTables];
  jpeg::HuffmanCodeTable ac_codes[jpeg::kMaxHuffmanTables];

  jpeg::ComponentEntry components[jpeg::kMaxComponents];
  std::int32_t component_capacity;  // 4; 256 or more marks a corrupted record
  std::uint8_t dc_selector[jpeg::kMaxComponents];
  std::uint8_t ac_selector[jpeg::kMaxComponents];
  jpeg::FrameGeometry frame;

  jpeg::OutputSink sink;
  alignas(32) std::int16_t workspace[jpeg::kWorkspaceBlocks * 64];

  jpeg::KernelTable* kernels;  // owned; allocated by JpegInit
  std::int32_t cpu_type;
};
