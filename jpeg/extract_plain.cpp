#include "jpeg/kernels.h"

namespace jpeg {

namespace {

constexpr int kCbBlock = 4 * 64;
constexpr int kCrBlock = 5 * 64;

inline std::int32_t Luma(std::int32_t b, std::int32_t g, std::int32_t r) {
  return (77 * r + 150 * g + 29 * b - 32640) >> 8;
}

// Y block of a pixel inside the 16x16 MCU: top-left, top-right, bottom-left, bottom-right.
inline int LumaIndex(int row, int col) { return ((row >> 3) * 2 + (col >> 3)) * 64 + (row & 7) * 8 + (col & 7); }

// Eight rows of a whole MCU; chroma from the sums of each 2x2 group.
void ConvertHalf(const std::uint8_t* src, std::ptrdiff_t stride, int first_row, std::int16_t* ws) {
  for (int row = first_row; row < first_row + 8; row += 2) {
    const std::uint8_t* p0 = src + row * stride;
    const std::uint8_t* p1 = p0 + stride;
    std::int16_t* y0 = ws + LumaIndex(row, 0);
    std::int16_t* y1 = ws + LumaIndex(row + 1, 0);
    std::int16_t* cb = ws + kCbBlock + (row >> 1) * 8;
    std::int16_t* cr = ws + kCrBlock + (row >> 1) * 8;
    for (int col = 0; col < 16; col += 2) {
      const std::int32_t b00 = p0[0], g00 = p0[1], r00 = p0[2];
      const std::int32_t b01 = p0[3], g01 = p0[4], r01 = p0[5];
      const std::int32_t b10 = p1[0], g10 = p1[1], r10 = p1[2];
      const std::int32_t b11 = p1[3], g11 = p1[4], r11 = p1[5];
      const int off = (col & 8) ? 64 - 8 + col : col;  // right Y block past column 7
      y0[off] = static_cast<std::int16_t>(Luma(b00, g00, r00));
      y0[off + 1] = static_cast<std::int16_t>(Luma(b01, g01, r01));
      y1[off] = static_cast<std::int16_t>(Luma(b10, g10, r10));
      y1[off + 1] = static_cast<std::int16_t>(Luma(b11, g11, r11));
      const std::int32_t sb = b00 + b01 + b10 + b11;
      const std::int32_t sg = g00 + g01 + g10 + g11;
      const std::int32_t sr = r00 + r01 + r10 + r11;
      cb[col >> 1] = static_cast<std::int16_t>((128 * sb - 43 * sr - 85 * sg + 512) >> 10);
      cr[col >> 1] = static_cast<std::int16_t>((128 * sr - 21 * sb - 107 * sg + 512) >> 10);
      p0 += 6;
      p1 += 6;
    }
  }
}

// A partial MCU: per-pixel conversion into 16x16 planes, the last available
// column and row repeated, then chroma averaged over each 2x2 group.
void ConvertEdge(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows, std::int16_t* ws) {
  std::int16_t y[256];
  std::int16_t cb[256];
  std::int16_t cr[256];
  for (int row = 0; row < rows; ++row) {
    const std::uint8_t* p = src + row * stride;
    std::int16_t* yr = y + row * 16;
    std::int16_t* cbr = cb + row * 16;
    std::int16_t* crr = cr + row * 16;
    for (int col = 0; col < columns; ++col, p += 3) {
      const std::int32_t b = p[0], g = p[1], r = p[2];
      yr[col] = static_cast<std::int16_t>(Luma(b, g, r));
      cbr[col] = static_cast<std::int16_t>((128 * b - 85 * g - 43 * r + 128) >> 8);
      crr[col] = static_cast<std::int16_t>((128 * r - 21 * b - 107 * g + 128) >> 8);
    }
    for (int col = columns; col < 16; ++col) {
      yr[col] = yr[columns - 1];
      cbr[col] = cbr[columns - 1];
      crr[col] = crr[columns - 1];
    }
  }
  for (int row = rows; row < 16; ++row) {
    for (int col = 0; col < 16; ++col) {
      y[row * 16 + col] = y[(rows - 1) * 16 + col];
      cb[row * 16 + col] = cb[(rows - 1) * 16 + col];
      cr[row * 16 + col] = cr[(rows - 1) * 16 + col];
    }
  }
  for (int row = 0; row < 16; ++row) {
    for (int col = 0; col < 16; ++col) ws[LumaIndex(row, col)] = y[row * 16 + col];
  }
  for (int row = 0; row < 8; ++row) {
    for (int col = 0; col < 8; ++col) {
      const int i = row * 32 + col * 2;
      ws[kCbBlock + row * 8 + col] = static_cast<std::int16_t>((cb[i] + cb[i + 1] + cb[i + 16] + cb[i + 17] + 2) >> 2);
      ws[kCrBlock + row * 8 + col] = static_cast<std::int16_t>((cr[i] + cr[i + 1] + cr[i + 16] + cr[i + 17] + 2) >> 2);
    }
  }
}

}  // namespace

void extract_bgr_ycc_2x2_plain(const std::uint8_t* src, std::ptrdiff_t stride, int columns, int rows,
                               std::int16_t* workspace) {
  if (columns == 16 && rows == 16) {
    ConvertHalf(src, stride, 0, workspace);
    ConvertHalf(src, stride, 8, workspace);
  } else {
    ConvertEdge(src, stride, columns, rows, workspace);
  }
}

}  // namespace jpeg
