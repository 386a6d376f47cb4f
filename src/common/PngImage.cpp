// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/PngImage.h"

#include <algorithm>
#include <csetjmp>
#include <png.h>

TRgbImage::TRgbImage(int width, int height, TRgb fill)
    : Width(std::max(0, width)), Height(std::max(0, height)) {
  Pixels.resize(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height) * 3);
  for (std::size_t i = 0; i < Pixels.size(); i += 3) {
    Pixels[i] = fill.R;
    Pixels[i + 1] = fill.G;
    Pixels[i + 2] = fill.B;
  }
}

void TRgbImage::Set(int x, int y, TRgb colour) {
  Blend(x, y, colour, 1);
}

void TRgbImage::Blend(int x, int y, TRgb colour, float alpha) {
  if (x < 0 || y < 0 || x >= Width || y >= Height)
    return;
  std::uint8_t* pixel =
      &Pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + x) * 3];
  const auto mix = [alpha](std::uint8_t under, std::uint8_t over) {
    return static_cast<std::uint8_t>(under + (over - under) * std::clamp(alpha, 0.0f, 1.0f) + 0.5f);
  };
  pixel[0] = mix(pixel[0], colour.R);
  pixel[1] = mix(pixel[1], colour.G);
  pixel[2] = mix(pixel[2], colour.B);
}

void TRgbImage::Fill(int x, int y, int width, int height, TRgb colour) {
  for (int row = y; row < y + height; ++row)
    for (int column = x; column < x + width; ++column)
      Set(column, row, colour);
}

namespace {
void Append(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char*>(data), length);
}

// libpng reports failure by longjmp: nothing here has a destructor to skip.
bool Encode(const TRgbImage& image, std::string* out, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, Append, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.Width),
               static_cast<png_uint_32>(image.Height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
} // namespace

std::string EncodePng(const TRgbImage& image) {
  if (image.Width == 0 || image.Height == 0)
    return {};
  std::vector<png_bytep> rows(static_cast<std::size_t>(image.Height));
  for (int y = 0; y < image.Height; ++y)
    rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(
        &image.Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width) * 3]);
  std::string out;
  return Encode(image, &out, rows.data()) ? out : std::string();
}
