// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/DrLogDocument.h"
#include "generate/AnalysisTexts.h"
#include "generate/DocumentKinds.h"
#include "generate/SaveDocumentsUnit.h"

#include "analysis/AlbumAnalysis.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr const char* Rule =
    "--------------------------------------------------------------------------------\r\n";

// The columns' names over the rows' figures (each "dB" under its name's end).
std::string Heading() {
  char heading[96];
  std::snprintf(heading, sizeof heading, "%-6s %12s %12s %8s  %s\r\n", "DR", "Peak", "RMS",
                "Length", "Track");
  return heading;
}

std::string TrackRow(const TTrackAnalysis& track) {
  const auto seconds = static_cast<long long>(std::floor(track.Seconds));
  char row[96];
  std::snprintf(row, sizeof row, "%-6s %9.2f dB %9.2f dB %5lld:%02lld  ",
                DrText(track.Dr.Value).c_str(), track.Dr.PeakDb, track.Dr.RmsDb, seconds / 60,
                seconds % 60);
  return row + track.Path.substr(track.Path.rfind('/') + 1) + "\r\n";
}
} // namespace

TDrLog DrLogText(const TAlbumInfo& album,
                 const std::function<bool(std::uint64_t, std::uint64_t)>& progress) {
  std::vector<std::string> paths;
  for (const TTrackEntry& track : album.Tracks)
    paths.push_back(track.Path);
  std::atomic<bool> cancelled{false};
  TAnalysisHooks hooks;
  hooks.Cancelled = &cancelled;
  hooks.DynamicRangeOnly = true;
  hooks.Progress = [&](std::uint64_t done, std::uint64_t total) {
    if (progress && !progress(done, total))
      cancelled = true;
  };
  // The album's measurement when the .nfo took one: the tracks are decoded once.
  const TAlbumAnalysis* measured = MeasurementOfTheTracks(album, false);
  const TAlbumAnalysis fresh = measured ? TAlbumAnalysis{} : AnalyzeAlbum(paths, hooks);
  const TAlbumAnalysis& analysis = measured ? *measured : fresh;
  TDrLog log;
  log.Cancelled = analysis.Cancelled;
  for (const TTrackAnalysis& track : analysis.Tracks)
    if (!track.Measured() && !log.NotMeasured)
      log.NotMeasured = track.Path;
  if (log.Cancelled || log.NotMeasured)
    return log;
  std::string names = album.Artist();
  if (!album.AlbumTitle().empty())
    names += (names.empty() ? "" : " - ") + album.AlbumTitle();
  log.Text = "Dynamic range" + (names.empty() ? "" : " of " + names) +
             ", measured by Tamberlon\r\n" + Rule + Heading() + Rule;
  for (const TTrackAnalysis& track : analysis.Tracks)
    log.Text += TrackRow(track);
  log.Text += std::string(Rule) + "Number of tracks:  " + std::to_string(analysis.Tracks.size()) +
              "\r\nOfficial DR value: " + DrText(analysis.Dr.value_or(0)) + "\r\n";
  return log;
}

namespace {
TMade MakeDrLog(const TMakeJob& job) {
  const TDrLog log = DrLogText(job.Album, job.Request.Measuring());
  TMade made;
  if (log.Cancelled)
    made.Result.Cancelled = true;
  else if (log.NotMeasured)
    made.Result = SaveFailure("The DR log measures every track, and this track could not be "
                              "measured; nothing was saved",
                              *log.NotMeasured);
  else
    return StagedDocument(job, log.Text);
  return made;
}
} // namespace

const TDocumentKind document::DrLogKind{
    .Role = TDocumentRole::DrLog,
    .Name = "DR log",
    .Extension = "_dr.txt",
    .PreferenceKey = "MakeDRLog",
    .MenuName = "GenerateDRLog1",
    .MenuText = "Generate DR log also",
    .Option = "--dr-log",
    .OptionHelp = "also measure the tracks' dynamic range into a DR log beside it",
    .Exists = ::FileExists,
    .Make = MakeDrLog};
