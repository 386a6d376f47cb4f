// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The album's cover, told as "folder.jpg 1400x1400 JPEG": among its other files, with the
// kind and pixel size from a bounded head of the image; else the one its tracks' tags
// hold ("embedded 600x600 JPEG").
#include "common/ImageSize.h"
#include "generate/AlbumUnit.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The cover: the first image of the album's other files whose name says so ("folder",
// "cover", "front"), else the first image; "" when there is none.
std::string CoverText(const TAlbumInfo& album);
