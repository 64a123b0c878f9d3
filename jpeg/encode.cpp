// JpegWrite: validation, output set-up, stream layout and the MCU loop.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "jpeg/file_output.h"
#include "jpeg/jpeg.h"
#include "jpeg/kernels.h"
#include "jpeg/segments.h"
#include "jpeg/tables.h"
#include "jpeg/validate.h"

namespace jpeg {

namespace {

ImageFields CopyPublicFields(const JPEG_PROPERTIES& p) {
  return ImageFields{p.dib_pixels,  p.dib_width,       p.dib_height,       p.dib_pad,     p.dib_channels,
                     p.dib_color,   p.dib_subsampling, p.jpeg_file_name,   p.jpeg_buffer, p.jpeg_size,
                     p.jpeg_width,  p.jpeg_height,     p.jpeg_channels,    p.jpeg_color,  p.jpeg_subsampling,
                     p.thumb_width, p.thumb_height,    p.color_conversion, p.upsampling,  p.jpeg_quality};
}

void InstallDefaultTables(JpegWorkState& st) {
  if (st.quant_count == 0) {
    st.quant[0].base = kLuminanceQuant.data();
    st.quant[0].id = 0;
    st.quant[1].base = kChrominanceQuant.data();
    st.quant[1].id = 1;
    st.quant_count = 2;
  }
  if (st.huffman_pairs == 0) {
    st.huffman[0] = {kDcLuminanceCounts.data(), kDcLuminanceSymbols.data(), 0, 0};
    st.huffman[1] = {kAcLuminanceCounts.data(), kAcLuminanceSymbols.data(), 1, 0};
    st.huffman[2] = {kDcChrominanceCounts.data(), kDcChrominanceSymbols.data(), 0, 1};
    st.huffman[3] = {kAcChrominanceCounts.data(), kAcChrominanceSymbols.data(), 1, 1};
    for (int i = 4; i < kMaxHuffmanDescriptors; ++i) st.huffman[i] = {};
    st.huffman_pairs = 2;
    constexpr std::uint8_t kSelectors[kMaxComponents] = {0, 1, 1, 1};
    std::copy(std::begin(kSelectors), std::end(kSelectors), st.dc_selector);
    std::copy(std::begin(kSelectors), std::end(kSelectors), st.ac_selector);
  }
}

void SetUpComponents(JpegWorkState& st) {
  const ImageFields& f = st.image;
  const std::int32_t n = std::min(f.jpeg_channels, kMaxComponents);
  const std::int32_t chroma_table = f.color_conversion != 0 ? 1 : 0;
  for (int i = 0; i < n; ++i) st.components[i].index = i;
  switch (st.sampling) {
    case 1:
    case 2:
    case 3:
    case 4: {
      const std::int32_t v0 = (st.sampling == 1 || st.sampling == 3) ? 2 : 1;
      st.components[0] = {0, 2, v0, 0};
      for (int i = 1; i < 3 && i < n; ++i) st.components[i] = {i, 1, 1, chroma_table};
      if (n > 3) st.components[3] = {3, 2, v0, 0};
      break;
    }
    default:
      for (int i = 0; i < n; ++i) {
        st.components[i].h = 1;
        st.components[i].v = 1;
      }
      st.components[0].quant_selector = 0;
      if (st.needs_color_conversion != 0) {
        for (int i = 1; i < n; ++i) st.components[i].quant_selector = 1;
      }
      break;
  }
  FrameGeometry& g = st.frame;
  g.precision = 8;
  g.width = f.jpeg_width;
  g.height = f.jpeg_height;
  g.hmax = 1;
  g.vmax = 1;
  g.subsampled = 0;
  for (int i = 0; i < n; ++i) {
    g.hmax = std::max(g.hmax, st.components[i].h);
    g.vmax = std::max(g.vmax, st.components[i].v);
    if (st.components[i].h != 1 || st.components[i].v != 1) g.subsampled = 1;
  }
  g.mcu_width = 8 * g.hmax;
  g.mcu_height = 8 * g.vmax;
  g.mcus_per_row = (g.width + g.mcu_width - 1) / g.mcu_width;
  g.mcu_rows = (g.height + g.mcu_height - 1) / g.mcu_height;
  g.total_mcus = static_cast<std::int64_t>(g.mcus_per_row) * g.mcu_rows;
}

// The scan: every component interleaved, DC predictors starting at 0.
std::int32_t EncodeScan(JpegWorkState& st) {
  KernelTable& k = *st.kernels;
  const ImageFields& f = st.image;
  const int n = f.jpeg_channels;  // 3: the only layout with an extraction here

  McuComponent scan[kMaxComponents]{};
  for (int i = 0; i < n; ++i) {
    const ComponentEntry& c = st.components[i];
    const int dc_id = st.dc_selector[i];
    const int ac_id = st.ac_selector[i];
    if (dc_id >= kMaxHuffmanTables || ac_id >= kMaxHuffmanTables || st.dc_codes[dc_id].ready == 0 ||
        st.ac_codes[ac_id].ready == 0) {
      return -17;
    }
    const QuantSlot* slot = nullptr;
    for (int q = 0; q < st.quant_count && q < kMaxQuantTables; ++q) {
      if (st.quant[q].base != nullptr && st.quant[q].id == c.quant_selector && st.quant[q].ready != 0) {
        slot = &st.quant[q];
      }
    }
    if (slot == nullptr) return -18;
    McuComponent& sc = scan[i];
    sc.blocks = c.h * c.v;
    sc.reciprocals = slot->reciprocals;
    for (int z = 0; z < 64; ++z) sc.zigzag_reciprocals[z] = slot->reciprocals[kZigzag[z]];
    sc.dc = &st.dc_codes[dc_id];
    sc.ac = &st.ac_codes[ac_id];
    sc.predictor = 0;
  }

  const FrameGeometry& g = st.frame;
  const std::int64_t stride = st.stride;
  const std::int32_t rows_total = std::abs(f.dib_height);
  const std::int32_t restart = st.restart_interval;
  std::int64_t mcu_count = 0;
  int restart_index = 0;
  std::int16_t* ws = st.workspace;

  for (std::int32_t r = 0; r < g.mcu_rows; ++r) {
    const int rows = std::min(g.mcu_height, rows_total - r * g.mcu_height);
    const std::uint8_t* row_start = st.top_row + static_cast<std::int64_t>(r) * g.mcu_height * stride;
    for (std::int32_t c = 0; c < g.mcus_per_row; ++c) {
      const int columns = std::min(g.mcu_width, f.dib_width - c * g.mcu_width);
      k.current_extract(row_start + static_cast<std::int64_t>(c) * g.mcu_width * 3, stride, columns, rows, ws);
      k.encode_mcu(st.sink, ws, scan, n);
      if (st.sink.error != 0) return st.sink.error;
      ++mcu_count;
      if (restart > 0 && mcu_count % restart == 0 && mcu_count < g.total_mcus) {
        WriteMarker(st, static_cast<std::uint8_t>(0xD0 + restart_index));
        restart_index = (restart_index + 1) & 7;
        for (int i = 0; i < n; ++i) scan[i].predictor = 0;
      }
    }
  }
  return st.sink.error;
}

std::int64_t BytesProduced(const OutputSink& sink) { return sink.flushed + (sink.cur - sink.start); }

// Steps after validation: output set-up, segments, scan, end of image.
std::int32_t Encode(JPEG_PROPERTIES& p, std::int32_t mode) {
  JpegWorkState& st = p.state;
  KernelTable& k = *st.kernels;

  // Copy the description, derive the signed stride and the picture's top row.
  if (p.skip_copy_in == 0) st.image = CopyPublicFields(p);
  const ImageFields& f = st.image;
  const std::int64_t row_bytes = static_cast<std::int64_t>(f.dib_width) * (f.dib_subsampling == 2 ? 2 : f.dib_channels);
  const std::int64_t stride = static_cast<std::int64_t>(f.dib_pad) + row_bytes;
  st.stride = f.dib_height < 0 ? -stride : stride;
  st.sampling = f.jpeg_subsampling;
  if (f.dib_subsampling == 2 && f.dib_color == 3 && f.jpeg_color == 3) st.sampling = 2;

  InstallDefaultTables(st);
  st.needs_color_conversion =
      !(f.jpeg_color == 1 || f.jpeg_color == 5 || f.dib_color == 3 || f.dib_color == 4 || f.dib_color == 255);

  const bool image = IsImageMode(mode);
  if (image) {
    SetUpComponents(st);
    if (st.frame.subsampled != 0 && st.needs_color_conversion != 0 && (f.jpeg_channels < 1 || f.jpeg_channels > 255)) {
      return -14;
    }
    k.current_extract = k.extract_bgr_ycc_2x2;
    k.current_fdct = k.fdct[st.dct_method];
    k.current_quantize = k.quantize[st.dct_method];
    st.top_row = f.dib_pixels;
    if (f.dib_height < 0) st.top_row += (static_cast<std::int64_t>(-f.dib_height) - 1) * stride;
  }

  const bool to_file = IsFileMode(mode);
  k.sink_init(st.sink, to_file ? st.sink.fd : -1, f.jpeg_buffer, f.jpeg_size);

  WriteMarker(st, 0xD8);
  const bool tables = mode != ImageOnlyToFile && mode != ImageOnlyToBuffer;
  if (tables) WriteApplicationSegments(st);
  PrepareQuantTables(st, tables);
  if (std::int32_t rc = PrepareHuffmanTables(st, tables); rc != 0) return rc;
  sink_flush_plain(st.sink);

  if (image) {
    WriteFrameHeader(st);
    WriteRestartInterval(st);
    WriteScanHeader(st);
    sink_flush_plain(st.sink);
    if (st.sink.error != 0) return st.sink.error;
    if (std::int32_t rc = EncodeScan(st); rc != 0) return rc;
  }
  WriteMarker(st, 0xD9);
  sink_flush_plain(st.sink);
  if (st.sink.error != 0) return st.sink.error;

  const std::int64_t produced = BytesProduced(st.sink);
  if (produced > INT32_MAX) return -24;  // jpeg_size cannot report it
  p.jpeg_size = static_cast<std::int32_t>(produced);
  return 0;
}

std::int32_t WriteSteps(JPEG_PROPERTIES& p, std::int32_t mode) {
  JpegWorkState& st = p.state;
  st.mode = mode;
  // With skip_copy_in the working copy is what gets encoded, so that is what
  // gets checked: nothing unchecked ever reaches the pixel loops.
  const ImageFields fields = p.skip_copy_in != 0 ? st.image : CopyPublicFields(p);
  if (std::int32_t rc = ValidateWrite(fields, mode, st.dct_method); rc != 0) return rc;
  if (std::int32_t rc = CheckSupported(fields, mode, st.dct_method); rc != 0) return rc;

  const bool to_file = IsFileMode(mode);
  if (to_file && st.sink.fd < 0) {
    st.sink.fd = CreateOutputFile(fields.jpeg_file_name);
    if (st.sink.fd < 0) return -10;
  }

  std::int32_t rc = Encode(p, mode);
  if (to_file && st.sink.fd >= 0) {
    const bool closed = CloseOutputFile(st.sink.fd);
    st.sink.fd = -1;
    if (!closed && rc == 0) rc = -9;
  }
  if (rc != 0 && st.sink.fd >= 0) {
    CloseOutputFile(st.sink.fd);
    st.sink.fd = -1;
  }
  return rc;
}

}  // namespace

}  // namespace jpeg

std::int32_t JpegWrite(JPEG_PROPERTIES* props, std::int32_t mode) {
  if (props == nullptr || props->state.kernels == nullptr) return JpegErrInvalidProperties;
  const std::int32_t rc = jpeg::WriteSteps(*props, mode);
  props->state.kernels->end_of_call();
  return rc;
}
