// The JPEG encoder on arbitrary records: any size from 1 to 2048 pixels a
// side, strides with pads, either row order, qualities in and out of range,
// restart intervals, the working-state copy of the fields instead of the
// public ones, custom quantisation and Huffman tables placed in the working
// state, every processor class, and output buffers of any capacity.
//
// Input, front to back (see FuzzInput): flags; width and height words; pad;
// quality; restart interval word; processor class; with flag 6 the six colour
// and sampling fields; with flag 7 the output capacity word; with flag 2 the
// quantisation tables (count, then id and 64 values each); with flag 3 the
// Huffman tables (pairs, then class, id, 16 counts and the symbols of each
// descriptor, then four DC and four AC selectors); the rest is the picture,
// repeated to fill it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "jpeg/jpeg.h"
#include "jpeg/kernels.h"

namespace {

// Keeps one case fast: any side up to 2048, but no more pixels than 2048 x 32.
constexpr std::int32_t kMaxSide = 2048;
constexpr std::int64_t kMaxPixels = 2048 * 32;

enum Flag { kBottomUp, kSkipCopy, kCustomQuant, kCustomHuffman, kModeLow, kModeHigh, kOddFormat, kSmallBuffer };

constexpr std::int32_t kModes[4] = {WholeImageToBuffer, TablesToBuffer, ImageOnlyToBuffer, WholeImageToBuffer};

// Tables the record points at; they must outlive the write.
struct CustomTables {
  std::vector<std::vector<std::uint8_t>> quant;
  std::vector<std::vector<std::uint8_t>> counts;
  std::vector<std::vector<std::uint8_t>> symbols;
};

void PlaceQuantTables(fuzz::FuzzInput& in, JpegWorkState& st, CustomTables& tables) {
  const int count = in.Byte() % (jpeg::kMaxQuantTables + 1);
  for (int i = 0; i < count; ++i) {
    const std::int32_t id = in.Byte() % 6;  // 4 and 5 name no table
    std::vector<std::uint8_t>& base = tables.quant.emplace_back(64);
    in.Fill(base);
    st.quant[i].base = base.data();
    st.quant[i].id = id;
  }
  st.quant_count = count;
}

void PlaceHuffmanTables(fuzz::FuzzInput& in, JpegWorkState& st, CustomTables& tables) {
  // One pair more than the descriptors hold: the encoder must not read past them.
  const int pairs = in.Byte() % (jpeg::kMaxHuffmanDescriptors / 2 + 2);
  const int descriptors = std::min(pairs * 2, jpeg::kMaxHuffmanDescriptors);
  for (int i = 0; i < descriptors; ++i) {
    jpeg::HuffmanDescriptor& d = st.huffman[i];
    d.table_class = in.Byte() & 1;
    d.id = static_cast<std::int32_t>(in.Byte() % 6) - 1;  // -1 and 4 name no table
    std::vector<std::uint8_t>& counts = tables.counts.emplace_back(16);
    in.Fill(counts);
    std::size_t n = 0;
    for (std::uint8_t c : counts) n += c;
    std::vector<std::uint8_t>& symbols = tables.symbols.emplace_back(n);
    in.Fill(symbols);
    d.counts = counts.data();
    d.symbols = symbols.data();
  }
  st.huffman_pairs = pairs;
  for (std::uint8_t& s : st.dc_selector) s = in.Byte() % 5;
  for (std::uint8_t& s : st.ac_selector) s = in.Byte() % 5;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const std::uint8_t flags = in.Byte();
  const std::int32_t width = in.Word() % kMaxSide + 1;
  const std::int32_t tallest = static_cast<std::int32_t>(std::min<std::int64_t>(kMaxSide, kMaxPixels / width));
  const std::int32_t height = in.Word() % tallest + 1;
  const std::int32_t pad = in.Byte() % 64;
  const std::int32_t quality = static_cast<std::int32_t>(in.Byte() % 112) - 5;
  const std::int32_t restart = in.Word();
  const std::int32_t cpuClass = in.Byte() % 7;

  JPEG_PROPERTIES p;
  if (JpegInit(&p) != JpegSuccess) return 0;
  jpeg::FillKernelTable(*p.state.kernels, cpuClass);
  p.state.cpu_type = cpuClass;

  p.dib_width = width;
  p.dib_height = in.Flag(flags, kBottomUp) ? -height : height;
  p.dib_pad = pad;
  p.jpeg_width = width;
  p.jpeg_height = height;
  p.jpeg_quality = quality;
  p.state.restart_interval = restart;
  if (in.Flag(flags, kOddFormat)) {
    p.dib_color = in.Byte();
    p.dib_channels = in.Byte() % 6;
    p.jpeg_color = in.Byte();
    p.jpeg_channels = in.Byte() % 6;
    p.jpeg_subsampling = in.Byte() % 6;
    p.dib_subsampling = in.Byte() % 4;
  }
  // Room for any stream of the standard tables; flag 7 asks for a small buffer.
  const std::int64_t roomy = static_cast<std::int64_t>(width) * height * 8 + 65536;
  const std::int64_t capacity = in.Flag(flags, kSmallBuffer) ? in.Word() + 1 : roomy;

  CustomTables tables;
  if (in.Flag(flags, kCustomQuant)) PlaceQuantTables(in, p.state, tables);
  if (in.Flag(flags, kCustomHuffman)) PlaceHuffmanTables(in, p.state, tables);

  // Exactly the bytes the description covers: the last row has no pad after it.
  const std::int32_t pixelBytes = p.dib_subsampling == 2 ? 2 : std::max(p.dib_channels, 1);
  const std::int64_t rowBytes = static_cast<std::int64_t>(width) * pixelBytes;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>((rowBytes + pad) * (height - 1) + rowBytes));
  const std::span<const std::uint8_t> picture = in.Remaining();
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = picture.empty() ? static_cast<std::uint8_t>(i * 7) : picture[i % picture.size()];
  }
  // Not cleared: the encoder must not read what it has not written.
  const auto output = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(capacity));
  p.dib_pixels = pixels.data();
  p.jpeg_buffer = output.get();
  p.jpeg_size = static_cast<std::int32_t>(capacity);

  if (in.Flag(flags, kSkipCopy)) {
    // The working copy is what gets encoded; the public fields say nothing usable.
    p.state.image = {p.dib_pixels,
                     p.dib_width,
                     p.dib_height,
                     p.dib_pad,
                     p.dib_channels,
                     p.dib_color,
                     p.dib_subsampling,
                     nullptr,
                     p.jpeg_buffer,
                     p.jpeg_size,
                     p.jpeg_width,
                     p.jpeg_height,
                     p.jpeg_channels,
                     p.jpeg_color,
                     p.jpeg_subsampling,
                     0,
                     0,
                     p.color_conversion,
                     p.upsampling,
                     p.jpeg_quality};
    p.skip_copy_in = 1;
    p.dib_pixels = nullptr;
    p.dib_width = 0;
    p.jpeg_buffer = nullptr;
  }

  const std::int32_t mode = kModes[(flags >> kModeLow) & 3];
  const std::int32_t rc = JpegWrite(&p, mode);
  if (rc == JpegSuccess) {
    // A stream that claims success is whole: inside the buffer, from SOI to EOI.
    const std::int32_t produced = p.jpeg_size;
    if (produced < 4 || produced > capacity) std::abort();
    if (output[0] != 0xFF || output[1] != 0xD8) std::abort();
    if (output[static_cast<std::size_t>(produced) - 2] != 0xFF ||
        output[static_cast<std::size_t>(produced) - 1] != 0xD9) {
      std::abort();
    }
  } else if (std::strcmp(JpegErrorText(rc), "Unknown error code") == 0) {
    std::abort();  // every failure is one of the documented codes
  }
  if (JpegFree(&p) != JpegSuccess) std::abort();
  return 0;
}
