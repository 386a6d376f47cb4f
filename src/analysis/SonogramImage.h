// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A track's (or the album's) frequency levels through time as a picture: frequency up to
// the Nyquist limit on the vertical axis, time across, each level's colour on a dB scale
// with its legend, and a caption with the file's name and format.
#include "analysis/FrequencyLevels.h"
#include "common/PngImage.h"

#include <string>
#include <string_view>
#include <vector>

// The plot's size in pixels: the slices and bands the meter keeps.
inline constexpr unsigned SonogramColumns = 800, SonogramRows = 400;

TRgbImage DrawSonogram(const TSonogram& sonogram, std::string_view caption);
// The picture as PNG bytes; empty when it cannot be encoded.
std::string SonogramPng(const TSonogram& sonogram, std::string_view caption);
// The pictures' names for the tracks' paths, one each, no two alike: "01 - One.png", the path
// below the folder the tracks share ("CD1-01.png" for CD1/01.flac), a number added where two
// still meet ("01-2.png" for 01.mp3 beside 01.flac). AlbumSonogramName is never given.
inline constexpr std::string_view AlbumSonogramName = "album.png";
std::vector<std::string> SonogramFileNames(const std::vector<std::string>& trackPaths);
