#include "generate/PlaylistUnit.h"

#include <cmath>
#include <filesystem>

namespace {
std::string EntryTitle(const TTrackEntry& track) {
  if (track.Info && track.Info->HasTag && !track.Info->Title.empty())
    return track.Info->Artist.empty() ? track.Info->Title
                                      : track.Info->Artist + " - " + track.Info->Title;
  return std::filesystem::path(track.Path).stem().string();
}

std::string RelativeName(const std::string& path, const std::string& folder) {
  const std::filesystem::path relative =
      std::filesystem::path(path).lexically_relative(std::filesystem::path(folder));
  return relative.empty() ? path : relative.string();
}
} // namespace

std::string M3uText(const TAlbumInfo& album, const std::string& playlistFolder) {
  std::string text = "#EXTM3U\r\n";
  for (const TTrackEntry& track : album.Tracks) {
    // Whole seconds, cut as the listing's durations are.
    const long long seconds =
        track.Info ? static_cast<long long>(std::floor(std::max(0.0, track.Info->Duration))) : 0;
    text += "#EXTINF:" + std::to_string(seconds) + "," + EntryTitle(track) + "\r\n";
    text += RelativeName(track.Path, playlistFolder) + "\r\n";
  }
  return text;
}
