// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Within the rip log reader: each ripper's format read into the log and what it says of
// the practices the score judges.
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
// The text with each run of blanks one space, in lower case.
std::string LogKey(std::string_view text);

// The lines from the ripper's first; whipper's checksum is over the whole text.
TRipPractices ReadEacLog(const std::vector<std::string_view>& lines, TRipLog& log);
TRipPractices ReadXldLog(const std::vector<std::string_view>& lines, TRipLog& log);
TRipPractices ReadWhipperLog(std::string_view text, const std::vector<std::string_view>& lines,
                             TRipLog& log);
