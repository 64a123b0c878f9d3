#include "jpeg/segments.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>

#include "jpeg/kernels.h"
#include "jpeg/tables.h"

namespace jpeg {

namespace {

constexpr char kCommentFormat[] = "Tavrocam JPEG Encoder, version %s";
constexpr char kVersion[] = "[1.00.00.01]";

// Collects one segment before it goes to the sink in a single block. The
// length field (itself and the body, not the marker) is filled in from what
// was collected when the segment is written.
class Segment {
 public:
  explicit Segment(std::uint32_t marker) {
    Word(marker);
    Word(0);
  }
  void Byte(std::uint32_t v) { bytes_[size_++] = static_cast<std::uint8_t>(v); }
  void Word(std::uint32_t v) {
    Byte(v >> 8);
    Byte(v);
  }
  void Bytes(const void* data, std::size_t n) {
    std::memcpy(bytes_.data() + size_, data, n);
    size_ += n;
  }
  void WriteTo(JpegWorkState& st) {
    const std::size_t length = size_ - 2;
    bytes_[2] = static_cast<std::uint8_t>(length >> 8);
    bytes_[3] = static_cast<std::uint8_t>(length);
    st.kernels->sink_write(st.sink, bytes_.data(), size_);
  }

 private:
  // The largest segment is a DHT with every descriptor the working state
  // holds, each with the 256 symbols PrepareHuffmanTables lets through.
  static constexpr std::size_t kCapacity = 4 + kMaxHuffmanDescriptors * (1 + 16 + 256);
  std::array<std::uint8_t, kCapacity> bytes_{};
  std::size_t size_ = 0;
};

std::int32_t ComponentCount(const JpegWorkState& st) { return st.image.jpeg_channels; }

// Identifier written for component i in SOF0 and SOS.
std::uint32_t ComponentId(const JpegWorkState& st, int i) {
  return ComponentCount(st) > 1 ? static_cast<std::uint32_t>(i + 1) : 0u;
}

}  // namespace

const char* DefaultCommentText() {
  static const std::string text = [] {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, kCommentFormat, kVersion);
    return std::string(buffer);
  }();
  return text.c_str();
}

void WriteMarker(JpegWorkState& st, std::uint8_t code) {
  const std::uint8_t marker[2] = {0xFF, code};
  st.kernels->sink_write(st.sink, marker, 2);
}

void WriteApplicationSegments(JpegWorkState& st) {
  const std::int32_t color = st.image.jpeg_color;
  const bool adobe = color == 1 || color == 5 || color == 6;
  Segment app(adobe ? 0xFFEE : 0xFFE0);
  if (adobe) {
    app.Bytes("Adobe", 5);
    app.Word(st.adobe_version);
    app.Word(st.adobe_flags0);
    app.Word(st.adobe_flags1);
    app.Byte(color == 6 ? 2 : 0);
  } else {
    app.Bytes("JFIF", 5);
    app.Word(st.jfif_version);
    app.Byte(st.density_unit);
    app.Word(st.x_density);
    app.Word(st.y_density);
    app.Byte(0);
    app.Byte(0);
  }
  app.WriteTo(st);

  if (st.comment == nullptr) {
    const char* text = DefaultCommentText();
    const std::size_t length = std::strlen(text);
    Segment com(0xFFFE);
    com.Bytes(text, length + 1);
    com.WriteTo(st);
    return;
  }
  if (st.comment_length == 0) return;
  const std::size_t length = std::min<std::size_t>(st.comment_length, 65531);
  const std::uint8_t header[4] = {0xFF, 0xFE, static_cast<std::uint8_t>((length + 2) >> 8),
                                  static_cast<std::uint8_t>(length + 2)};
  st.kernels->sink_write(st.sink, header, sizeof header);
  st.kernels->sink_write(st.sink, st.comment, length);
}

void PrepareQuantTables(JpegWorkState& st, bool write) {
  for (int i = 0; i < st.quant_count && i < kMaxQuantTables; ++i) {
    QuantSlot& slot = st.quant[i];
    if (slot.base == nullptr) continue;
    ScaleQuantTable(std::span<const std::uint8_t, 64>(slot.base, 64), st.image.jpeg_quality, slot.prepared);
    if (write) {
      Segment dqt(0xFFDB);
      dqt.Byte(static_cast<std::uint32_t>(slot.id) & 0x0F);
      for (std::uint16_t v : slot.prepared) dqt.Byte(v);
      dqt.WriteTo(st);
    }
    ReciprocalTable(slot.prepared, slot.reciprocals);
    slot.ready = 1;
  }
}

std::int32_t PrepareHuffmanTables(JpegWorkState& st, bool write) {
  const int descriptors = std::min(st.huffman_pairs * 2, kMaxHuffmanDescriptors);
  for (int i = 0; i < descriptors; ++i) {
    const HuffmanDescriptor& d = st.huffman[i];
    if (d.counts == nullptr || d.symbols == nullptr) continue;
    const std::int32_t n = HuffmanSymbolCount(d.counts);
    // More than 256 symbols cannot be distinct bytes.
    if (n > 256 || d.id < 0 || d.id >= kMaxHuffmanTables) return -6;
  }
  if (write) {
    Segment dht(0xFFC4);
    for (int i = 0; i < descriptors; ++i) {
      const HuffmanDescriptor& d = st.huffman[i];
      if (d.counts == nullptr || d.symbols == nullptr) continue;
      dht.Byte(static_cast<std::uint32_t>(d.table_class * 16 + d.id));
      dht.Bytes(d.counts, 16);
      dht.Bytes(d.symbols, static_cast<std::size_t>(HuffmanSymbolCount(d.counts)));
    }
    dht.WriteTo(st);
  }
  for (int i = 0; i < descriptors; ++i) {
    const HuffmanDescriptor& d = st.huffman[i];
    if (d.counts == nullptr || d.symbols == nullptr) continue;
    HuffmanCodeTable& table = d.table_class == 0 ? st.dc_codes[d.id] : st.ac_codes[d.id];
    if (BuildHuffmanCodeTable(d.counts, d.symbols, table) != 0) return -6;
  }
  return 0;
}

void WriteFrameHeader(JpegWorkState& st) {
  const std::int32_t n = ComponentCount(st);
  Segment sof(0xFFC0);
  sof.Byte(8);
  sof.Word(static_cast<std::uint32_t>(st.frame.height));
  sof.Word(static_cast<std::uint32_t>(st.frame.width));
  sof.Byte(static_cast<std::uint32_t>(n));
  for (int i = 0; i < n; ++i) {
    const ComponentEntry& c = st.components[i];
    sof.Byte(ComponentId(st, i));
    sof.Byte(n > 1 ? static_cast<std::uint32_t>(c.h * 16 + c.v) : 0x11u);
    sof.Byte(static_cast<std::uint32_t>(c.quant_selector));
  }
  sof.WriteTo(st);
}

void WriteRestartInterval(JpegWorkState& st) {
  if (st.restart_interval == 0) return;
  Segment dri(0xFFDD);
  dri.Word(static_cast<std::uint32_t>(st.restart_interval) & 0xFFFFu);
  dri.WriteTo(st);
}

void WriteScanHeader(JpegWorkState& st) {
  const std::int32_t n = ComponentCount(st);
  Segment sos(0xFFDA);
  sos.Byte(static_cast<std::uint32_t>(n));
  for (int i = 0; i < n; ++i) {
    sos.Byte(ComponentId(st, i));
    sos.Byte(n > 1 ? static_cast<std::uint32_t>(st.dc_selector[i] * 16 + st.ac_selector[i]) : 0u);
  }
  sos.Byte(0);
  sos.Byte(63);
  sos.Byte(0);
  sos.WriteTo(st);
}

}  // namespace jpeg
