// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The album's cover among its other files, told as "folder.jpg 1400x1400 JPEG": the kind
// and pixel size come from the image's own header (PNG's IHDR, a JPEG's start-of-frame,
// GIF's screen), read from a bounded head of the file; nothing is decoded.
#include "generate/AlbumUnit.h"

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

// The cover: the first image of the album's other files whose name says so ("folder",
// "cover", "front"), else the first image; "" when there is none.
std::string CoverText(const TAlbumInfo& album);
