#include "jpeg/bgr_encoder.h"

CBgrJpegEncoder::CBgrJpegEncoder() : m_ready(JpegInit(&m_props) == JpegSuccess) {}

CBgrJpegEncoder::~CBgrJpegEncoder() {
  if (m_ready) JpegFree(&m_props);
}

std::int32_t CBgrJpegEncoder::EncodeToFile(const BgrPicture& picture, std::int32_t quality, const char* path) {
  if (!m_ready) return JpegErrInvalidEncoder;
  DescribeBgrPicture(m_props, picture, quality);
  m_props.jpeg_file_name = path;
  return JpegWrite(&m_props, WholeImageToFile);
}

std::int32_t CBgrJpegEncoder::EncodeToBuffer(const BgrPicture& picture, std::int32_t quality,
                                             std::vector<std::uint8_t>& buffer, std::int32_t& produced) {
  produced = 0;
  if (!m_ready) return JpegErrInvalidEncoder;
  std::int32_t result = EncodeOnce(picture, quality, buffer, produced);
  if (result == JpegErrBufferTooSmall) {
    buffer.resize(buffer.empty() ? 4096 : buffer.size() * 2);
    result = EncodeOnce(picture, quality, buffer, produced);
  }
  return result;
}

std::int32_t CBgrJpegEncoder::EncodeOnce(const BgrPicture& picture, std::int32_t quality,
                                         std::vector<std::uint8_t>& buffer, std::int32_t& produced) {
  DescribeBgrPicture(m_props, picture, quality);
  m_props.jpeg_buffer = buffer.data();
  m_props.jpeg_size = static_cast<std::int32_t>(buffer.size());
  const std::int32_t result = JpegWrite(&m_props, WholeImageToBuffer);
  produced = result == JpegSuccess ? m_props.jpeg_size : 0;
  return result;
}
