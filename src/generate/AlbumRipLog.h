// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rip logs beside the album's tracks ($LOG_SCORE, $LOG_SUMMARY, $RIPPER_DRIVE,
// $ACCURATERIP, $LOG_MATCH): read when a document or a face asks, since a log is a few KB.
#include "analysis/AlbumAnalysis.h"
#include "analysis/RipLog.h"
#include "analysis/RipLogMatch.h"
#include "common/Problem.h"
#include "generate/AlbumUnit.h"

#include <string>
#include <vector>

struct TAlbumRipLog {
  std::string Path;
  TRipLog Log;
};
// The .log files of the tracks' album folder and of their own folders (a disc's each) that
// are rip logs, by name; other logs are passed over.
std::vector<TAlbumRipLog> RipLogsBeside(const std::vector<std::string>& trackPaths);
std::vector<TAlbumRipLog> AlbumRipLogs(const TAlbumInfo& album);

// "100" (the lowest of several logs'), "not scored"; "" without a log.
std::string LogScoreText(const TAlbumInfo& album);
// The summary of each log (after its name, when there are several).
std::string LogSummaryText(const TAlbumInfo& album);
// The first log's drive and read offset.
std::string AlbumRipperDriveText(const TAlbumInfo& album);
// Every log's tracks together: "24 of 24 tracks accurate (confidence 5 to 12)".
std::string AlbumAccurateRipText(const TAlbumInfo& album);

// Whether the log describes the measured tracks of its folder and those below it, or all
// of them when none is there (see MatchLog); "" where nothing can be compared.
TLogMatch MatchLogFor(const TAlbumRipLog& log, const std::vector<TTrackAnalysis>& tracks);
inline std::string LogMatchTextFor(const TAlbumRipLog& log,
                                   const std::vector<TTrackAnalysis>& tracks) {
  return MatchLogFor(log, tracks).Text;
}
// Each log's, after its name when there are several; "" before the album is measured.
std::string AlbumLogMatchText(const TAlbumInfo& album);
// Each log that does not describe the measured tracks ("track 3 does not match the log"), with
// its path: what the save and the window's strip warn of.
std::vector<TProblem> LogMismatchNotes(const TAlbumInfo& album);
