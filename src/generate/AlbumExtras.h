// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The album's other files: what lies in its tracks' folders that matches the user's name
// patterns and is neither a track nor a document of the release, by name in natural order.
#include "generate/AlbumUnit.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "*.jpg *.cue": patterns with * and ?, any case, separated by blanks.
std::vector<std::string> SplitNamePatterns(std::string_view patterns);
bool MatchesNamePattern(const std::string& name, const std::vector<std::string>& patterns);

std::vector<TExtraFile> FindAlbumExtras(const std::vector<std::string>& trackPaths,
                                        std::string_view patterns);

// Each other file's CRC-32, read now; the path of one that could not be read.
std::optional<std::string> ComputeExtraChecksums(TAlbumInfo& album);
