// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/PictureFont.h"

#include <algorithm>
#include <array>
#include <utf8proc.h>

namespace {
struct TGlyph {
  char32_t Code;
  std::string_view Coverage; // a hex digit a pixel, row by row: 0 none to f whole
};
constexpr TGlyph Glyphs[] = {
#include "analysis/PictureFontGlyphs.inc"
};
static_assert(Glyphs[0].Coverage.size() == GlyphWidth * GlyphHeight);

const TGlyph& GlyphOf(char32_t code) {
  const auto found = std::lower_bound(std::begin(Glyphs), std::end(Glyphs), code,
                                      [](const TGlyph& g, char32_t c) { return g.Code < c; });
  return found != std::end(Glyphs) && found->Code == code ? *found : GlyphOf(U'?');
}

// Each character of the text in turn; an invalid byte stands for itself, as "?".
template <typename Each> void ForEachCharacter(std::string_view text, Each each) {
  while (!text.empty()) {
    utf8proc_int32_t code = 0;
    const auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                                         static_cast<utf8proc_ssize_t>(text.size()), &code);
    each(length > 0 ? static_cast<char32_t>(code) : U'?');
    text.remove_prefix(length > 0 ? static_cast<std::size_t>(length) : 1);
  }
}

int HexValue(char digit) {
  return digit <= '9' ? digit - '0' : digit - 'a' + 10;
}
} // namespace

int PictureTextWidth(std::string_view text) {
  int width = 0;
  ForEachCharacter(text, [&width](char32_t) { width += GlyphWidth; });
  return width;
}

void DrawPictureText(TRgbImage& image, int x, int y, std::string_view text, TRgb colour) {
  ForEachCharacter(text, [&](char32_t code) {
    const std::string_view coverage = GlyphOf(code).Coverage;
    for (int row = 0; row < GlyphHeight; ++row)
      for (int column = 0; column < GlyphWidth; ++column)
        if (const int value = HexValue(coverage[std::size_t(row * GlyphWidth + column)]))
          image.Blend(x + column, y + row, colour, static_cast<float>(value) / 15.0f);
    x += GlyphWidth;
  });
}
