// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumRipLog.h"

#include "common/FileUnit.h"
#include "common/NaturalOrder.h"
#include "common/TextUnit.h"
#include "generate/AlbumExtras.h"

#include <algorithm>

namespace {
std::vector<std::string> LogFolders(const std::vector<std::string>& paths) {
  std::vector<std::string> folders;
  if (paths.empty())
    return folders;
  folders.push_back(AlbumFolderOf(paths));
  for (const std::string& path : paths) {
    const std::string folder = path.substr(0, path.rfind('/') + 1);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  }
  return folders;
}
} // namespace

std::vector<TAlbumRipLog> RipLogsBeside(const std::vector<std::string>& trackPaths) {
  std::vector<TAlbumRipLog> logs;
  const std::vector<std::string> pattern = {"*.log"};
  for (const std::string& folder : LogFolders(trackPaths)) {
    const auto entries = ReadFolder(folder.empty() ? "." : folder);
    std::vector<std::string> names;
    for (const TFolderEntry& entry : entries.value_or(std::vector<TFolderEntry>{}))
      if (!entry.IsFolder && !entry.IsLink && MatchesNamePattern(entry.Name, pattern))
        names.push_back(entry.Name);
    SortNaturally(names);
    for (const std::string& name : names)
      if (const auto bytes = ReadRipLogFile(folder + name))
        if (TRipLog log = ReadRipLog(*bytes); log.IsLog())
          logs.push_back({folder + name, std::move(log)});
  }
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
