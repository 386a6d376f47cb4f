// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture in memory (8-bit RGB) and its PNG encoding through libpng, for the faces that
// write pictures without a window.
#include <cstdint>
#include <string>
#include <vector>

struct TRgb {
  std::uint8_t R = 0, G = 0, B = 0;
};

struct TRgbImage {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Pixels; // rows top to bottom, 3 bytes a pixel

  TRgbImage(int width, int height, TRgb fill);
  void Set(int x, int y, TRgb colour); // outside the picture: nothing
  // The colour laid over the pixel with the share alpha (0 to 1).
  void Blend(int x, int y, TRgb colour, float alpha);
  void Fill(int x, int y, int width, int height, TRgb colour);
};

// The picture as a PNG file's bytes; empty when libpng fails.
std::string EncodePng(const TRgbImage& image);
