// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a rip log describes the very files posted: each track's CRC32 of its decoded
// samples against the log's copy CRC, track by track in the log's order.
#include "analysis/AlbumAnalysis.h"
#include "analysis/RipLog.h"

#include <string>
#include <vector>

// "the log matches all 12 tracks", "track 3 does not match the log", "the log has 11
// tracks, the files 12"; "" where nothing can be compared (a track not CD audio, a log
// without copy CRCs, one of a range rip or whose CRCs leave null samples out).
std::string LogMatchText(const TRipLog& log, const std::vector<const TTrackAnalysis*>& tracks);
