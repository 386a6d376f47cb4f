// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/FfpDocument.h"

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
