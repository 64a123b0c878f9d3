// JpegInit and JpegFree: the record's defaults and the kernel table's lifetime.
#include <memory>
#include <new>

#include "jpeg/file_output.h"
#include "jpeg/jpeg.h"
#include "jpeg/kernels.h"

namespace {

// Every public field zero or null but these; the working state is set apart.
void SetPublicDefaults(JPEG_PROPERTIES& p) {
  p = JPEG_PROPERTIES{.dib_channels = 3,
                      .dib_color = JpegColorBgr,
                      .jpeg_channels = 3,
                      .jpeg_color = JpegColorYCbCr,
                      .jpeg_subsampling = JpegSampling420,
                      .color_conversion = 1,
                      .upsampling = 1,
                      .jpeg_quality = 75};
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
