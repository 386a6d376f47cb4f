// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumDiscs.h"

#include "common/FileUnit.h"

#include <algorithm>
#include <set>

unsigned LeadingNumber(std::string_view text) {
  unsigned number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || number > 99999)
      break;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

unsigned TrackDiscNumber(const TTrackEntry& track) {
  std::string folder = FolderPart(track.Path);
  if (!folder.empty())
    folder.pop_back(); // its "/"
  if (const auto number = DiscFolderNumber(FileNamePart(folder)))
    return *number;
  return std::max(1u, track.Info && track.Info->HasTag ? LeadingNumber(track.Info->Disc) : 0);
}

std::size_t DiscCount(const TAlbumInfo& album) {
  std::set<unsigned> discs;
  for (const TTrackEntry& track : album.Tracks)
    discs.insert(TrackDiscNumber(track));
  return discs.size();
}
