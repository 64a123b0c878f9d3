// JpegInit and JpegFree: the record's defaults and the kernel table's lifetime.
#include <memory>
#include <new>

#include "jpeg/file_output.h"
#include "jpeg/jpeg.h"
#include "jpeg/kernels.h"

namespace {

void SetPublicDefaults(JPEG_PROPERTIES& p) {
  p.skip_copy_in = 0;
  p.dib_pixels = nullptr;
  p.dib_width = 0;
  p.dib_height = 0;
  p.dib_pad = 0;
  p.dib_channels = 3;
  p.dib_color = JpegColorBgr;
  p.dib_subsampling = 0;
  p.jpeg_file_name = nullptr;
  p.jpeg_buffer = nullptr;
  p.jpeg_size = 0;
  p.jpeg_width = 0;
  p.jpeg_height = 0;
  p.jpeg_channels = 3;
  p.jpeg_color = JpegColorYCbCr;
  p.jpeg_subsampling = JpegSampling420;
  p.thumb_width = 0;
  p.thumb_height = 0;
  p.color_conversion = 1;
  p.upsampling = 1;
  p.jpeg_quality = 75;
}

void SetStateDefaults(JpegWorkState& st) {
  st = JpegWorkState{};
  st.mode = -1;
  st.dct_method = 1;
  st.restart_interval = 0;
  st.jfif_version = 0x0101;
  st.density_unit = 0;
  st.x_density = 1;
  st.y_density = 1;
  st.adobe_version = 100;
  st.component_capacity = jpeg::kMaxComponents;
  constexpr std::int32_t kQuantSelectors[jpeg::kMaxComponents] = {0, 1, 1, 1};
  for (int i = 0; i < jpeg::kMaxComponents; ++i) {
    st.components[i] = {i, 1, 1, kQuantSelectors[i]};
    st.dc_selector[i] = i == 0 ? 0 : 1;
    st.ac_selector[i] = i == 0 ? 0 : 1;
  }
  st.sink.fd = -1;
}

}  // namespace

std::int32_t JpegInit(JPEG_PROPERTIES* props) {
  if (props == nullptr) return JpegErrInvalidProperties;
  std::unique_ptr<jpeg::KernelTable> table(new (std::nothrow) jpeg::KernelTable{});
  if (!table) return JpegErrMemory;
  const std::int32_t cpu_type = jpeg::DetermineProcessorClass(table->processor);
  jpeg::FillKernelTable(*table, cpu_type);

  SetPublicDefaults(*props);
  SetStateDefaults(props->state);
  props->state.cpu_type = cpu_type;
  props->state.kernels = table.release();
  return JpegSuccess;
}

std::int32_t JpegFree(JPEG_PROPERTIES* props) {
  if (props == nullptr) return JpegErrInvalidProperties;
  JpegWorkState& st = props->state;
  // The kernel table goes whatever state the rest of the record is in; a
  // corrupted record keeps its other contents untouched.
  std::unique_ptr<jpeg::KernelTable> table(st.kernels);
  st.kernels = nullptr;
  if (st.component_capacity >= 256) return JpegErrInvalidProperties;
  std::int32_t rc = JpegSuccess;
  if (st.sink.fd >= 0) {
    if (!jpeg::CloseOutputFile(st.sink.fd)) rc = JpegErrCloseFile;
    st.sink.fd = -1;
  }
  for (jpeg::QuantSlot& slot : st.quant) slot = {};
  st.quant_count = 0;
  for (jpeg::HuffmanDescriptor& d : st.huffman) d = {};
  st.huffman_pairs = 0;
  st.comment = nullptr;
  st.comment_length = 0;
  return rc;
}
