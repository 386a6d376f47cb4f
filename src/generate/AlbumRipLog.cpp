// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumRipLog.h"

#include "common/TextUnit.h"
#include "generate/AlbumExtras.h"

#include <algorithm>

std::vector<TAlbumRipLog> RipLogsBeside(const std::vector<std::string>& trackPaths) {
  std::vector<TAlbumRipLog> logs;
  if (trackPaths.empty())
    return logs; // no album, no folder
  for (const TExtraFile& file : FindAlbumExtras(trackPaths, "*.log"))
    if (const auto bytes = ReadRipLogFile(file.Path))
      if (TRipLog log = ReadRipLog(*bytes); log.IsLog())
        logs.push_back({file.Path, std::move(log)});
  return logs;
}

std::vector<TAlbumRipLog> AlbumRipLogs(const TAlbumInfo& album) {
  std::vector<std::string> paths;
  for (const TTrackEntry& track : album.Tracks)
    paths.push_back(track.Path);
  return RipLogsBeside(paths);
}

std::string LogScoreText(const TAlbumInfo& album) {
  const std::vector<TAlbumRipLog> logs = AlbumRipLogs(album);
  std::optional<int> lowest;
  for (const TAlbumRipLog& log : logs)
    if (log.Log.Score)
      lowest = std::min(lowest.value_or(100), *log.Log.Score);
  return lowest ? std::to_string(*lowest) : logs.empty() ? "" : "not scored";
}

std::string LogSummaryText(const TAlbumInfo& album) {
  const std::vector<TAlbumRipLog> logs = AlbumRipLogs(album);
  std::string text;
  for (const TAlbumRipLog& log : logs) {
    if (!text.empty())
      text += "\n";
    if (logs.size() > 1)
      text += PrintableName(log.Path.substr(log.Path.rfind('/') + 1)) + ":\n";
    text += RipLogSummary(log.Log);
  }
  return text;
}

std::string AlbumRipperDriveText(const TAlbumInfo& album) {
  const std::vector<TAlbumRipLog> logs = AlbumRipLogs(album);
  return logs.empty() ? "" : RipperDriveText(logs.front().Log);
}

std::string AlbumAccurateRipText(const TAlbumInfo& album) {
  TRipLog all;
  for (TAlbumRipLog& log : AlbumRipLogs(album))
    std::move(log.Log.Tracks.begin(), log.Log.Tracks.end(), std::back_inserter(all.Tracks));
  return AccurateRipText(all);
}

TLogMatch MatchLogFor(const TAlbumRipLog& log, const std::vector<TTrackAnalysis>& tracks) {
  const std::string folder = log.Path.substr(0, log.Path.rfind('/') + 1);
  std::vector<const TTrackAnalysis*> below;
  for (const TTrackAnalysis& track : tracks)
    if (track.Path.starts_with(folder))
      below.push_back(&track);
  if (below.empty()) // a log named beside tracks elsewhere: it speaks for them all
    for (const TTrackAnalysis& track : tracks)
      below.push_back(&track);
  return MatchLog(log.Log, below);
}

std::string AlbumLogMatchText(const TAlbumInfo& album) {
  if (!album.Analysis)
    return "";
  const std::vector<TAlbumRipLog> logs = AlbumRipLogs(album);
  std::string text;
  for (const TAlbumRipLog& log : logs)
    if (const std::string match = LogMatchTextFor(log, album.Analysis->Tracks); !match.empty())
      text += (text.empty() ? "" : "; ") +
              (logs.size() > 1 ? PrintableName(log.Path.substr(log.Path.rfind('/') + 1)) + ": "
                               : std::string()) +
              match;
  return text;
}

std::vector<TProblem> LogMismatchNotes(const TAlbumInfo& album) {
  std::vector<TProblem> notes;
  if (album.Analysis)
    for (const TAlbumRipLog& log : AlbumRipLogs(album))
      if (TLogMatch match = MatchLogFor(log, album.Analysis->Tracks); match.Differs)
        notes.push_back({std::move(match.Text), log.Path});
  return notes;
}
