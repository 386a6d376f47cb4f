#include "generate/AlbumUnit.h"

#include "common/TextUnit.h"
#include "generate/TokenUnit.h"

#include <algorithm>
#include <string_view>

namespace {
void ReplaceFirst(std::string& text, std::string_view what, std::string_view by) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos)
    text.replace(at, what.size(), by);
}
} // namespace

std::string DefaultNfoFileName(const std::string& artist, const std::string& albumTitle) {
  std::string name =
      std::string(token::Artist) + std::string(token::Separator) + std::string(token::Album);
  const std::string_view separator = !artist.empty() && !albumTitle.empty() ? " - " : "";
  ReplaceFirst(name, token::Artist, artist);
  ReplaceFirst(name, token::Album, albumTitle);
  ReplaceFirst(name, token::Separator, separator);
  for (char forbidden : std::string_view("/\\*?<>|:\""))
    std::erase(name, forbidden);
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
