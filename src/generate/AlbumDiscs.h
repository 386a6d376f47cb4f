// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The discs of an album: a track's disc is its folder's number (CD2/), else its tag's disc
// number, else the first.
#include "generate/AlbumUnit.h"

#include <cstddef>
#include <string_view>

// The number before any "/" of a tag's text ("3/12" is 3); 0 when there is none.
unsigned LeadingNumber(std::string_view text);

unsigned TrackDiscNumber(const TTrackEntry& track);
// How many discs the tracks are on (0 without tracks).
std::size_t DiscCount(const TAlbumInfo& album);
