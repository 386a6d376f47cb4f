// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumCueCheck.h"

#include "analysis/CueSheet.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumExtras.h"

namespace {
// The one sheet in the album's folder; nothing when there is none, or several.
std::optional<std::string> SheetOf(const std::vector<std::string>& tracks) {
  const std::string folder = AlbumFolderOf(tracks);
  const auto entries = ReadFolder(folder.empty() ? "." : folder);
  if (!entries)
    return std::nullopt;
  const std::vector<std::string> sheets = {"*.cue"};
  std::optional<std::string> found;
  for (const TFolderEntry& entry : *entries)
    if (!entry.IsFolder && MatchesNamePattern(entry.Name, sheets)) {
      if (found)
        return std::nullopt;
      found = folder + entry.Name;
    }
  return found;
}
} // namespace

TAlbumCueNote CheckAlbumCueSheet(const TAlbumInfo& album) {
  std::vector<std::string> tracks;
  for (const TTrackEntry& track : album.Tracks)
    tracks.push_back(track.Path);
  TAlbumCueNote note;
  const auto path = tracks.empty() ? std::nullopt : SheetOf(tracks);
  const auto bytes = path ? ReadCueSheetFile(*path) : std::nullopt;
  if (!bytes)
    return note;
  note.SheetPath = *path;
  const auto sheet = ReadCueSheet(*bytes);
  if (!sheet) {
    note.Text = "the .cue beside the tracks is no CUE sheet";
    return note;
  }
  // The tracks' lengths as read; the image a sheet names, read now.
  const auto lengthOf = [&](const std::string& p) -> std::optional<double> {
    for (const TTrackEntry& track : album.Tracks)
      if (track.Path == p)
        return track.Info && track.Info->Analysed ? std::optional(track.Info->Duration)
                                                  : std::nullopt;
    return TrackSeconds(p);
  };
  const TCueCheck check = CheckCueSheet(*sheet, *path, lengthOf, &tracks);
  note.Agrees = check.AllOk();
  if (note.Agrees)
    note.Text = "the CUE sheet agrees with the tracks";
  else if (!check.UnsafeFiles.empty())
    note.Text =
        "the CUE sheet names " + PrintableName(check.UnsafeFiles.front()) + ", outside its folder";
  else if (!check.MissingFiles.empty())
    note.Text =
        "the CUE sheet names " + PrintableName(check.MissingFiles.front()) + ", which is not there";
  else if (!check.CountProblem.empty())
    note.Text = "the CUE sheet differs: " + check.CountProblem;
  else
    for (const TCueTrackCheck& track : check.Tracks)
      if (!track.Ok) {
        note.Text =
            "the CUE sheet differs: track " + std::to_string(track.Number) + ", " + track.Problem;
        break;
      }
  return note;
}
