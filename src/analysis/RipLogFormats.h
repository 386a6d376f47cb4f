// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Within the rip log reader: each ripper's format (a file each) read into the log and what
// it says of the practices the score judges.
#include "analysis/RipLog.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TRipPractices {
  std::optional<bool> Secure, AccurateStream, CacheDefeated, C2Used, GapsAppended, SilenceDeleted,
      OffsetFilled, NullSamples, Id3, Normalized;
  bool RangeRip = false;
  bool Complete = false;
  bool ChecksumWritten = false; // the ripper writes one
};

std::vector<std::string_view> LogLinesOf(std::string_view text);

// The pieces the three readers share.
namespace riplog {
// The text with each run of blanks one space; in lower case for a key.
std::string Collapse(std::string_view text, bool lower);
std::string Lower(std::string_view text);
// "Label : value" as the rippers align them: the label folded to lower case with single
// spaces, the value trimmed.
struct TField {
  std::string Key;
  std::string_view Value;
};
TField FieldOf(std::string_view line);
std::optional<int> Number(std::string_view text);
// The number after "confidence " ("confidence 5", "confidence 5/7").
int ConfidenceIn(std::string_view line);
std::optional<bool> YesNo(std::string_view value);
// "Track  3" (EAC), "Track 03" (XLD): the number; nothing for any other line.
std::optional<int> TrackHeading(std::string_view line);
// The better of the verdicts (an accurate one keeps its highest confidence).
void Merge(TRipLogTrack& track, EAccurateRip verdict, int confidence);
// A new track; nothing past the most a log may hold.
TRipLogTrack* StartTrack(TRipLog& log, int number);
} // namespace riplog

// The lines from the ripper's first; whipper's checksum is over the whole text.
TRipPractices ReadEacLog(const std::vector<std::string_view>& lines, TRipLog& log);
TRipPractices ReadXldLog(const std::vector<std::string_view>& lines, TRipLog& log);
TRipPractices ReadWhipperLog(std::string_view text, const std::vector<std::string_view>& lines,
                             TRipLog& log);
