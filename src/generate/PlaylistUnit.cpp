// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/PlaylistUnit.h"

#include "common/FileUnit.h"

#include <cmath>
#include <filesystem>

namespace {
std::string EntryTitle(const TTrackEntry& track) {
  std::string title = std::filesystem::path(track.Path).stem().string();
  if (track.Info && track.Info->HasTag && !track.Info->Title.empty())
    title = track.Info->Artist.empty() ? track.Info->Title
                                       : track.Info->Artist + " - " + track.Info->Title;
  // A line break in a tag would end the entry early: the title stays on its line.
  for (char& c : title)
    if (static_cast<unsigned char>(c) < 32)
      c = ' ';
  return title;
}

std::string RelativeName(const std::string& path, const std::string& playlistPath) {
  // The save refuses a track outside the playlist's folder; its path as given is a last resort.
  const std::string name = NameInFolderOf(playlistPath, path).value_or(path);
  // A line that starts with "#" is a comment to a player: "./" keeps it a file.
  return name.starts_with('#') ? "./" + name : name;
}
} // namespace

std::string M3uText(const TAlbumInfo& album, const std::string& playlistPath) {
  std::string text = "#EXTM3U\r\n";
  for (const TTrackEntry& track : album.Tracks) {
    // Whole seconds, cut as the listing's durations are.
    const long long seconds =
        track.Info ? static_cast<long long>(std::floor(std::max(0.0, track.Info->Duration))) : 0;
    text += "#EXTINF:" + std::to_string(seconds) + "," + EntryTitle(track) + "\r\n";
    text += RelativeName(track.Path, playlistPath) + "\r\n";
  }
  return text;
}
