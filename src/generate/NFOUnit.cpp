// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/NFOUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/ShellOpenUnit.h"
#include "common/TextListUnit.h"
#include "common/TrackKinds.h"
#include "generate/AlbumFieldsUnit.h"

#include <algorithm>

namespace {
// What the rip log and the measurement found, each line only where there is something: a
// lossless album's log and dynamics, a lossy one's dynamics and each track's bit rate check.
void AddMeasuredLines(std::vector<std::string>& lines, TAudioFamily family) {
  const bool mp3 = family == TAudioFamily::Mp3;
  const auto audio =
      std::find(lines.begin(), lines.end(),
                mp3 ? "ID3-Tag    : $ID3_VERSION" : "Bitrate    : $BIT_RATE (average)");
  std::vector<std::string> measured = {"@IF_VALUE", "Dynamics   : $DR", "@END_IF"};
  if (family == TAudioFamily::Lossless)
    measured.insert(measured.begin(), {"@IF_VALUE", "Log Score  : $LOG_SCORE", "@END_IF",
                                       "@IF_VALUE", "AccurateRip: $ACCURATERIP", "@END_IF"});
  lines.insert(audio + 1, measured.begin(), measured.end());
  if (family != TAudioFamily::Lossless) {
    const auto track = std::find(lines.begin(), lines.end(), "@END_TRACK");
    lines.insert(track, {"@IF_VALUE", "    $TRACK_QUALITY", "@END_IF"});
  }
}
} // namespace

std::vector<std::string> DefaultNfoTemplate(bool variousArtists, TAudioFamily family,
                                            bool withAddress) {
  const bool mp3 = family == TAudioFamily::Mp3;
  std::vector<std::string> lines = {
      "Artist     : $ARTIST",
      "Album      : $ALBUM",
      "Source     : $SOURCE",
      "Label      : $LABEL",
      "Year       : $YEAR",
      "Genre      : $GENRE",
      "",
      "Encoder    : $ENCODER",
      "Codec      : $CODEC",
      mp3                                ? "Bitrate    : $BIT_RATE  $SAMPLE_RATE  $STEREO"
      : family == TAudioFamily::Lossless ? "Audio      : $SAMPLE_RATE  $BITS_PER_SAMPLE"
                                         : "Audio      : $SAMPLE_RATE",
      mp3 ? "ID3-Tag    : $ID3_VERSION" : "Bitrate    : $BIT_RATE (average)",
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
      // The heading only over a policy.
      "@IF_VALUE",
      "Posting Policy:",
      "$POSTING_POLICY",
      "@END_IF",
      std::string(70, '='),
      ".NFO file created with $NFO_NAME V$NFO_VERSION on $NFO_DATE at $NFO_TIME",
  };
  AddMeasuredLines(lines, family);
  // A build without a web page has nothing to send the reader to.
  if (withAddress)
    lines.insert(lines.end(), {"", "For more information on $NFO_NAME", "visit $NFO_URL"});
  return lines;
}

std::vector<std::string> DefaultNfoTemplateOfFile(const std::string& path) {
  const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
  for (const TNfoTemplateFile& file : NfoTemplateFiles)
    if (file.Name == name)
      return DefaultNfoTemplate(file.VariousArtists, file.Family);
  return DefaultNfoTemplate(false);
}

std::optional<TProblem> TNFO::WriteDefaultTemplate(const std::string& path) {
  if (WriteTextList(path, DefaultNfoTemplateOfFile(path)))
    return std::nullopt;
  return TProblem{std::string(ErrorMessage(ecCreateNfoTemplate)), path};
}

std::string NfoTemplatePath(const TAlbumInfo& album, bool useVariousArtistsTemplate,
                            const std::string& programFolder) {
  const bool various = album.VariousArtists && useVariousArtistsTemplate;
  const TAudioFamily family = IsMp3Format(album.Format) ? TAudioFamily::Mp3
                              : album.Lossless          ? TAudioFamily::Lossless
                                                        : TAudioFamily::Lossy;
  // The table holds every pair of the two choices.
  const auto& file = *std::find_if(NfoTemplateFiles.begin(), NfoTemplateFiles.end(),
                                   [&](const TNfoTemplateFile& row) {
                                     return row.VariousArtists == various && row.Family == family;
                                   });
  return programFolder + std::string(file.Name);
}

TNFO::TNFO(const TAlbumInfo& album, bool useVariousArtistsTemplate, TSaveContext* context)
    : TGenerate(
          album,
          NfoTemplatePath(album, useVariousArtistsTemplate, TSaveContext::ProgramFolderOf(context)),
          context) {}

std::optional<TProblem> PrepareNfoTemplate(const TAlbumInfo& album, bool useVariousArtistsTemplate,
                                           TSaveContext* context) {
  const std::string path =
      NfoTemplatePath(album, useVariousArtistsTemplate, TSaveContext::ProgramFolderOf(context));
  if (!TGenerate(album, path, context).Template.empty())
    return std::nullopt;
  auto problem = TNFO::WriteDefaultTemplate(path);
  if (context && !problem)
    context->Keep(path, JoinTextLines(DefaultNfoTemplateOfFile(path)));
  return problem;
}

std::optional<TProblem> EditTemplate(const std::string& fileName) {
  return OpenProgramFile(fileName, TNFO::WriteDefaultTemplate);
}
