// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumUnit.h"

#include "common/TextUnit.h"

#include <algorithm>
#include <string_view>

std::string DefaultNfoFileName(const std::string& artist, const std::string& albumTitle) {
  const std::string_view separator = !artist.empty() && !albumTitle.empty() ? " - " : "";
  std::string name = WithoutHiddenControls(artist + std::string(separator) + albumTitle);
  // The characters no file name may hold, and the control characters: a line break in a
  // name breaks every list that names it.
  std::erase_if(name, [](char c) {
    return IsControlCharacter(c) ||
           std::string_view("/\\*?<>|:\"").find(c) != std::string_view::npos;
  });
  // A file system takes 255 bytes a name: the name is cut on a character's boundary, and
  // keeps room for its extension.
  constexpr std::size_t MaxBase = MaxFileNameBytes - 4;
  if (name.size() > MaxBase) {
    std::size_t cut = MaxBase;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
      --cut;
    name.resize(cut);
  }
  // ".nfo" alone would be a hidden file, saved out of the user's sight.
  return (name.empty() ? "Untitled" : name) + ".nfo";
}

void TAlbumInfo::SetArtist(const std::string& artist) {
  FArtist = artist;
  RebuildDefaultFileName();
}

void TAlbumInfo::SetAlbumTitle(const std::string& albumTitle) {
  FAlbumTitle = albumTitle;
  RebuildDefaultFileName();
}

void TAlbumInfo::RebuildDefaultFileName() {
  FDefaultFileName = DefaultNfoFileName(FArtist, FAlbumTitle);
}

std::int32_t TAlbumInfo::LongestDurationLength() const {
  std::size_t longest = 0;
  for (const TTrackEntry& track : Tracks)
    if (track.Info)
      longest = std::max(longest, DisplayWidth(track.Info->DurationText));
  return static_cast<std::int32_t>(longest);
}
