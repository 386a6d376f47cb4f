// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a rip log describes the very files posted: each track's checksums, computed from
// its decoded samples, against what the log states of it (its copy CRC, with or without null
// samples as the log says, and its AccurateRip v1 and v2 checksums), track by track in the
// log's order.
#include "analysis/AlbumAnalysis.h"
#include "analysis/RipLog.h"

#include <string>
#include <vector>

struct TLogMatch {
  // "the log matches all 12 tracks", "track 3 does not match the log", "the log has 11
  // tracks, the files 12"; "" where nothing can be compared (a track not CD audio, a log
  // track that states no checksum, a range rip).
  std::string Text;
  bool Differs = false; // a track, or the count of tracks, is not the log's
};
TLogMatch MatchLog(const TRipLog& log, const std::vector<const TTrackAnalysis*>& tracks);
inline std::string LogMatchText(const TRipLog& log,
                                const std::vector<const TTrackAnalysis*>& tracks) {
  return MatchLog(log, tracks).Text;
}
