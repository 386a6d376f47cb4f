// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The .ffp: each FLAC track's audio MD5 as its stream information keeps it, one
// "NAME:md5" line a track as metaflac --show-md5sum prints them, so that a downloader can
// tell the audio is the poster's whatever tags were changed since.
#include "generate/AlbumUnit.h"

#include <optional>
#include <string>

struct TFfpText {
  std::string Text;
  std::optional<std::string> Unreadable; // a FLAC track whose stream information did not read
  bool AnyFlac = false;
};

TFfpText FfpText(const TAlbumInfo& album, const std::string& ffpPath);
