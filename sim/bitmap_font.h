// A 5 x 7 pixel font for the test picture's text: capitals, digits and a few
// signs. Lower-case letters are drawn as capitals; other characters as blanks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace sim {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
inline constexpr int kGlyphAdvance = 6;  // one blank column between characters

// Seven rows, bit 4 the leftmost column.
const std::array<std::uint8_t, kGlyphHeight>& GlyphRows(char c);

inline int TextWidth(std::string_view text, int scale) { return static_cast<int>(text.size()) * kGlyphAdvance * scale; }

// Draws text with its top-left corner at (x, y), each font pixel a scale x
// scale block, into anything with Put(x, y, b, g, r).
template <typename Sink>
void DrawText(Sink& sink, int x, int y, std::string_view text, int scale, std::uint8_t b, std::uint8_t g,
              std::uint8_t r) {
  for (char c : text) {
    const auto& rows = GlyphRows(c);
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (!(rows[row] & (0x10 >> col))) continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) sink.Put(x + col * scale + dx, y + row * scale + dy, b, g, r);
        }
      }
    }
    x += kGlyphAdvance * scale;
  }
}

}  // namespace sim
