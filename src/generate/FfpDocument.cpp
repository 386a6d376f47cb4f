// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/FfpDocument.h"
#include "generate/DocumentKinds.h"

#include "audio/FlacMetadata.h"
#include "common/FileUnit.h"
#include "common/TrackKinds.h"

TFfpText FfpText(const TAlbumInfo& album, const std::string& ffpPath) {
  static constexpr char Digits[] = "0123456789abcdef";
  TFfpText ffp;
  for (const TTrackEntry& track : album.Tracks) {
    if (TrackKindOfName(track.Path) != TTrackKind::FLAC)
      continue; // only FLAC keeps its audio's MD5
    ffp.AnyFlac = true;
    const auto metadata = ReadFlacFileMetadata(track.Path);
    if (!metadata) {
      ffp.Unreadable = track.Path;
      return ffp;
    }
    // The save refuses a track outside the list's folder; its path as given is a last resort.
    ffp.Text += NameInFolderOf(ffpPath, track.Path).value_or(track.Path) + ":";
    for (const std::uint8_t b : metadata->AudioMd5)
      ffp.Text.append({Digits[b >> 4], Digits[b & 15]});
    ffp.Text += "\r\n";
  }
  return ffp;
}

namespace {
bool HasFlacTracks(const TAlbumInfo& album) {
  return std::any_of(album.Tracks.begin(), album.Tracks.end(), [](const TTrackEntry& track) {
    return TrackKindOfName(track.Path) == TTrackKind::FLAC;
  });
}

TMade MakeFfp(const TMakeJob& job) {
  const TFfpText ffp = FfpText(job.Album, job.Path);
  TMade made;
  if (ffp.Unreadable)
    made.Result = SaveFailure("The FLAC stream information of this track could not be read; "
                              "nothing was saved",
                              *ffp.Unreadable);
  else if (!ffp.AnyFlac)
    made.Result = SaveFailure("An .ffp lists FLAC tracks, and the album has none; nothing was "
                              "saved",
                              job.Path);
  else
    return StagedDocument(job, ffp.Text);
  return made;
}
} // namespace

const TDocumentKind document::FfpKind{
    .Role = TDocumentRole::Ffp,
    .Name = ".ffp",
    .Extension = ".ffp",
    .PreferenceKey = "MakeFFP",
    .MenuName = "GenerateFFPfile1",
    .MenuText = "Generate .FFP fingerprints also",
    .Option = "--ffp",
    .OptionHelp = "also write the .ffp audio fingerprints of the FLAC tracks beside it",
    .CommentStart = ";",
    .ListsTracks = true,
    .Exists = ::FileExists,
    .Make = MakeFfp,
    .AppliesTo = HasFlacTracks,
    .NotApplying = "the album has no FLAC tracks"};
