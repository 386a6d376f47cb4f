// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An image's kind and pixel size from its own header (PNG's IHDR, GIF's screen, a JPEG's
// start-of-frame after its other segments), as a cover file or a tag's picture holds it;
// nothing is decoded.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct TImageSize {
  const char* Kind = ""; // "JPEG", "PNG", "GIF"
  std::uint32_t Width = 0, Height = 0;
};
// Nothing for bytes that are no image of those kinds, or whose size lies past them.
std::optional<TImageSize> ReadImageSize(std::span<const std::uint8_t> head);
// "1400x1400 JPEG"
std::string ImageSizeText(const TImageSize& size);

// The bytes of a head that a JPEG's frame is looked for in: its other segments (EXIF, a
// colour profile) come first.
inline constexpr std::size_t ImageHeadBytes = 256 * 1024;
