// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A track's (or the album's) frequency levels through time as a picture: frequency up to
// the Nyquist limit on the vertical axis, time across, each level's colour on a dB scale
// with its legend, and a caption with the file's name and format.
#include "analysis/FrequencyLevels.h"
#include "common/PngImage.h"

#include <string>
#include <string_view>

// The plot's size in pixels: the slices and bands the meter keeps.
inline constexpr unsigned SonogramColumns = 800, SonogramRows = 400;

TRgbImage DrawSonogram(const TSonogram& sonogram, std::string_view caption);
// The picture as PNG bytes; empty when it cannot be encoded.
std::string SonogramPng(const TSonogram& sonogram, std::string_view caption);
// "01 - One.png": the picture's name for a track's path.
std::string SonogramFileName(const std::string& trackPath);
