// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ".m3u" playlist beside the ".nfo": the tracks in listing order, each with its
// playing time and "Artist - Title", named relative to the playlist's folder, so that a
// player finds them wherever the album is copied.
#include "generate/AlbumUnit.h"

#include <string>

// "#EXTM3U", then per track "#EXTINF:<whole seconds>,<Artist> - <Title>" and its name;
// CR LF line ends, UTF-8 without a byte order mark (the names match the files on disk).
std::string M3uText(const TAlbumInfo& album, const std::string& playlistPath);
