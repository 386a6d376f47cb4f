// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Within the rip log reader: each ripper's format (a file each) read into the log and what
// it says of the practices the score judges.
#include "analysis/RipLog.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TRipPractices {
  // A setting the log states (a reader sets one it does not state where the checkers
  // count that as its failing).
  std::optional<bool> Secure, AccurateStream, CacheDefeated, C2Used, GapsAppended, SilenceDeleted,
      OffsetFilled, NullSamples, Id3, Normalized;
  bool InsecureModeNamed = false; // EAC's read mode other than "Secure" ("Burst", "Fast")
  bool RangeRip = false;
  bool OldEac = false; // EAC before 0.99, whose log lacks settings
  bool NullDrive = false;
  bool CombinedOffset = false;       // a combined read/write offset, which hides the read one
  std::vector<std::string> Unstated; // settings the log should state and does not
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
// The checksum a value begins with ("AF183141 (29661F65 w/correction)"); "" when it does
// not begin with 8 hex digits.
std::string LeadingCrc(std::string_view value);
// An EAC verdict's checksum of the track, the first in brackets ("...  [0A0B0C0D]  (AR v2)"),
// kept as the version it names (v1 before EAC named them).
void ReadEacAccurateRipSum(TRipLogTrack& track, std::string_view line);
// A new track; nothing past the most a log may hold.
TRipLogTrack* StartTrack(TRipLog& log, int number);
// Each setting named whose flag says the log does not state it, among those it should.
void NoteUnstated(TRipPractices& practices,
                  std::initializer_list<std::pair<const char*, bool>> settings);
// "...\\01 Title.flac": a file the checkers accept a rip's track in.
bool IsRipFileName(std::string_view name);
} // namespace riplog

// The rip's text from its ripper's first line and its lines; the checksums are over the text.
TRipPractices ReadEacLog(std::string_view text, const std::vector<std::string_view>& lines,
                         TRipLog& log);
TRipPractices ReadXldLog(std::string_view text, const std::vector<std::string_view>& lines,
                         TRipLog& log);
TRipPractices ReadWhipperLog(std::string_view text, const std::vector<std::string_view>& lines,
                             TRipLog& log);
