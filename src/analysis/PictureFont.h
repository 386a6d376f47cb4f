// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text in the pictures the program draws without a window: a 7x13 fixed-pitch face
// (printable ASCII and Latin-1; any other character drawn as "?").
#include "common/PngImage.h"

#include <string_view>

inline constexpr int GlyphWidth = 7, GlyphHeight = 13;

// The columns the UTF-8 text takes.
int PictureTextWidth(std::string_view text);
// Draws the text with its cell's top left corner at (x, y).
void DrawPictureText(TRgbImage& image, int x, int y, std::string_view text, TRgb colour);
