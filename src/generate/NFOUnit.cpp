// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/NFOUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/ShellOpenUnit.h"
#include "common/TextListUnit.h"
#include "generate/AlbumFieldsUnit.h"

std::vector<std::string> DefaultNfoTemplate(bool variousArtists, bool lossless) {
  std::vector<std::string> technical = {
      "Encoder    : $ENCODER",
      "Codec      : $CODEC",
      "Bitrate    : $BIT_RATE  $SAMPLE_RATE  $STEREO",
      "ID3-Tag    : $ID3_VERSION",
      "",
  };
  if (lossless)
    technical = {
        "Encoder    : $ENCODER",
        "Codec      : $CODEC",
        "Audio      : $SAMPLE_RATE  $BITS_PER_SAMPLE",
        "Bitrate    : $BIT_RATE (average)",
        "",
    };
  std::vector<std::string> lines = {
      "Artist     : $ARTIST",
      "Album      : $ALBUM",
      "Source     : $SOURCE",
      "Year       : $YEAR",
      "Genre      : $GENRE",
      "",
      "Ripped By  : $RIPPED_BY on $RIP_DATE",
      "Posted By  : $POSTED_BY on $POST_DATE",
      "",
      "Posted to  :",
      "@FOR_EACH_NEWSGROUP",
      "  $GROUP_NAME",
      "@END_NEWSGROUP",
      "",
      "Track Listing",
      "-------------",
      "@FOR_EACH_TRACK",
      variousArtists ? "$TRACK_NUMBER. $TRACK_TITLE ($TRACK_ARTIST)  @RIGHT($TRACK_DURATION)"
                     : "$TRACK_NUMBER. $TRACK_TITLE  @RIGHT($TRACK_DURATION)",
      "@END_TRACK",
      "Total Playing Time: $PLAYING_TIME (min:sec)",
      "Total Size        : $TOTAL_SIZE ($TOTAL_BYTES bytes)",
      "",
      "Posting Policy:",
      "$POSTING_POLICY",
      std::string(70, '='),
      ".NFO file created with $NFO_NAME V$NFO_VERSION on $NFO_DATE at $NFO_TIME",
      "",
      "For more information on $NFO_NAME",
      "visit $NFO_URL",
  };
  const auto after = lines.begin() + 6; // the album's lines and their blank line
  lines.insert(after, technical.begin(), technical.end());
  return lines;
}

std::vector<std::string> DefaultNfoTemplateOfFile(const std::string& path) {
  const std::string name = path.substr(path.rfind('/') + 1);
  const bool lossless =
      name == LosslessTemplateFileName || name == LosslessVariousArtistsTemplateFileName;
  return DefaultNfoTemplate(name == VariousArtistsTemplateFileName ||
                                name == LosslessVariousArtistsTemplateFileName,
                            lossless);
}

void TNFO::WriteDefaultTemplate(const std::string& path) {
  if (!WriteTextList(path, DefaultNfoTemplateOfFile(path)))
    ShowError(ecCreateNfoTemplate, path);
}

std::string NfoTemplatePath(const TAlbumInfo& album, bool useVariousArtistsTemplate) {
  const bool various = album.VariousArtists && useVariousArtistsTemplate;
  const std::string format = AlbumFormat(album);
  if (!format.empty() && format != "MP3")
    return GetProgramFolder() +
           (various ? LosslessVariousArtistsTemplateFileName : LosslessTemplateFileName);
  return GetProgramFolder() +
         (various ? VariousArtistsTemplateFileName : SingleArtistTemplateFileName);
}

TNFO::TNFO(const TAlbumInfo& album, bool useVariousArtistsTemplate)
    : TGenerate(album, NfoTemplatePath(album, useVariousArtistsTemplate)) {}

void PrepareNfoTemplate(const TAlbumInfo& album, bool useVariousArtistsTemplate) {
  const std::string path = NfoTemplatePath(album, useVariousArtistsTemplate);
  TGenerate existing(album, path);
  if (existing.Template.empty())
    TNFO::WriteDefaultTemplate(path);
}

void EditTemplate(const std::string& fileName) {
  OpenProgramFile(fileName, [](const std::string& path) { TNFO::WriteDefaultTemplate(path); });
}
