// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AnalysisTexts.h"

#include "analysis/AlbumAnalysis.h"
#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"
#include "generate/AlbumRipLog.h"
#include "generate/TokenUnit.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>

bool TemplateShowsAnalysis(std::string_view templateText) {
  // the log's match is with the decoded tracks
  constexpr std::array tokens = {token::Dr,           token::Loudness,  token::AlbumGain,
                                 token::TrackDr,      token::TrackGain, token::TrackCutoff,
                                 token::TrackQuality, token::LogMatch};
  return std::any_of(tokens.begin(), tokens.end(), [&](std::string_view name) {
    return templateText.find(name) != std::string_view::npos;
  });
}

namespace {
std::vector<std::string> TrackPaths(const TAlbumInfo& album) {
  std::vector<std::string> paths;
  for (const TTrackEntry& track : album.Tracks)
    paths.push_back(track.Path);
  return paths;
}

std::string KilohertzText(double hz) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f kHz", hz / 1000);
  return text;
}

// The same files, as they are now: a track edited since (its tags rewritten) is measured
// again, and its checksum taken again.
bool MeasuresTheTracks(const TAlbumAnalysis& analysis, const std::vector<std::string>& paths) {
  return std::equal(analysis.Tracks.begin(), analysis.Tracks.end(), paths.begin(), paths.end(),
                    [](const TTrackAnalysis& track, const std::string& path) {
                      return track.Path == path && track.Stamp == FileStampOf(path);
                    });
}
} // namespace

const TAlbumAnalysis* MeasurementOfTheTracks(const TAlbumInfo& album, bool whole) {
  return album.Analysis && !(whole && album.Analysis->DynamicRangeOnly) &&
                 MeasuresTheTracks(*album.Analysis, TrackPaths(album))
             ? album.Analysis.get()
             : nullptr;
}

void TakeMeasuredChecksums(TAlbumInfo& album) {
  const TAlbumAnalysis* measured = MeasurementOfTheTracks(album, false);
  for (std::size_t i = 0; measured && i < album.Tracks.size(); ++i)
    if (TTrackEntry& track = album.Tracks[i];
        track.Info && track.Info->Checksum == NoChecksum && measured->Tracks[i].FileCrc) {
      track.Info->Checksum = CRC32Text(*measured->Tracks[i].FileCrc);
      track.Info->ChecksumStamp = measured->Tracks[i].Stamp;
    }
}

bool MeasureAlbum(TAlbumInfo& album,
                  const std::function<bool(std::uint64_t done, std::uint64_t total)>& progress,
                  bool dynamicRangeOnly) {
  if (MeasurementOfTheTracks(album, !dynamicRangeOnly))
    return true;
  // Measured again (a track changed since): never less than before, the .nfo shows it.
  if (album.Analysis && !album.Analysis->DynamicRangeOnly)
    dynamicRangeOnly = false;
  const std::vector<std::string> paths = TrackPaths(album);
  std::atomic<bool> cancelled{false};
  TAnalysisHooks hooks;
  hooks.Cancelled = &cancelled;
  hooks.DynamicRangeOnly = dynamicRangeOnly;
  hooks.WithFileCrc = true;
  hooks.Records = [&album](std::size_t i) {
    return album.Tracks[i].Info.get();
  };
  if (progress)
    hooks.Progress = [&](std::uint64_t done, std::uint64_t total) {
      if (!progress(done, total))
        cancelled = true;
    };
  auto analysis = std::make_shared<TAlbumAnalysis>(AnalyzeAlbum(paths, hooks));
  if (analysis->Cancelled || cancelled)
    return false;
  album.Analysis = std::move(analysis);
  return true;
}

std::string AlbumDrText(const TAlbumInfo& album) {
  return album.Analysis && album.Analysis->Dr ? DrText(*album.Analysis->Dr) : "";
}

std::string AlbumLoudnessText(const TAlbumInfo& album) {
  return album.Analysis && album.Analysis->Loudness
             ? LevelText(album.Analysis->Loudness->Integrated) + " LUFS"
             : "";
}

std::string AlbumGainText(const TAlbumInfo& album) {
  return album.Analysis && album.Analysis->Loudness
             ? LevelText(album.Analysis->Loudness->Gain) + " dB"
             : "";
}

const TTrackAnalysis* TrackAnalysisOf(const TAlbumInfo& album, const std::string& path) {
  if (!album.Analysis)
    return nullptr;
  for (const TTrackAnalysis& track : album.Analysis->Tracks)
    if (track.Path == path)
      return track.Measured() ? &track : nullptr;
  return nullptr;
}

std::string TrackDrText(const TTrackAnalysis* track) {
  return track ? DrText(track->Dr.Value) : "";
}

std::string TrackGainText(const TTrackAnalysis* track) {
  return track && track->Loudness ? LevelText(track->Loudness->Gain) + " dB" : "";
}

std::string TrackCutoffText(const TTrackAnalysis* track) {
  if (!track)
    return {};
  return KilohertzText(track->Cutoff.Hz) +
         (track->Cutoff.LossyShape ? std::string(", ") + TranscodeWarning : "");
}

bool KeepAnalysis(TAlbumInfo& album, std::shared_ptr<const TAlbumAnalysis> analysis) {
  if (!analysis || analysis->Cancelled || !MeasuresTheTracks(*analysis, TrackPaths(album)))
    return false;
  album.Analysis = std::move(analysis);
  return true;
}

std::vector<TProblem> TranscodeNotes(const TAlbumInfo& album) {
  std::vector<TProblem> notes;
  if (album.Analysis)
    for (const TTrackAnalysis& track : album.Analysis->Tracks)
      if (track.Measured() && track.Cutoff.LossyShape)
        notes.push_back({std::string(TranscodeWarning) + ": its content stops at " +
                             KilohertzText(track.Cutoff.Hz) + ", as a lossy encoder's does",
                         track.Path});
  return notes;
}

namespace {
// "2 of 10 tracks ", "the track ", "all 10 tracks " and the words after; "" for none.
std::string CountedTracksText(const TAlbumInfo& album, std::size_t count, std::string_view words) {
  if (count == 0)
    return {};
  const std::size_t tracks = album.Analysis->Tracks.size();
  const std::string which = count < tracks ? std::to_string(count) + " of " + std::to_string(tracks)
                            : tracks == 1  ? std::string("the")
                                           : "all " + std::to_string(tracks);
  return which + (tracks == 1 ? " track " : " tracks ") + std::string(words);
}
} // namespace

std::string TranscodeSummary(const TAlbumInfo& album) {
  return CountedTracksText(album, TranscodeNotes(album).size(), TranscodeWarning);
}

std::vector<TProblem> LowerRateNotes(const TAlbumInfo& album) {
  std::vector<TProblem> notes;
  if (album.Analysis)
    for (const TTrackAnalysis& track : album.Analysis->Tracks)
      if (track.Measured() && track.Quality && track.Quality->Suspect())
        notes.push_back({LossyQualityText(*track.Quality), track.Path});
  return notes;
}

std::string LowerRateSummary(const TAlbumInfo& album) {
  return CountedTracksText(album, LowerRateNotes(album).size(), LowerRateWarning);
}

std::vector<TProblem> MeasuredNotes(const TAlbumInfo& album) {
  std::vector<TProblem> notes = TranscodeNotes(album);
  for (std::vector<TProblem> more : {LowerRateNotes(album), LogMismatchNotes(album)})
    std::move(more.begin(), more.end(), std::back_inserter(notes));
  return notes;
}

std::string MeasuredWarning(const TAlbumInfo& album) {
  std::string text = TranscodeSummary(album);
  if (const std::string lower = LowerRateSummary(album); !lower.empty())
    text += (text.empty() ? "" : "; ") + lower;
  for (const TProblem& log : LogMismatchNotes(album)) // "rip.log: track 3 does not match the log"
    text += (text.empty() ? "" : "; ") + PrintableName(FileNamePart(log.Path)) + ": " + log.Message;
  return text;
}

std::string TrackQualityText(const TTrackAnalysis* track) {
  return track && track->Quality ? LossyQualityText(*track->Quality) : "";
}
