// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Date-times as the program keeps them: days since 30 December 1899, the fraction being
// the time of day.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using TDateTime = double;

struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0;
};

TDateTime EncodeDateTime(const TDateTimeParts& parts);
TDateTimeParts DecodeDateTime(TDateTime value);

// The last modification of a regular file, in local time; nothing when no regular file is
// there (one look at the file answers both questions).
std::optional<TDateTime> RegularFileModificationTime(const std::string& path);
// Seconds since 1970 (UTC) as a local date-time.
std::optional<TDateTime> LocalDateTime(std::int64_t seconds);

// 2026-12-08T00:28:08
std::string DateTimeToIso(TDateTime value);
// "2026-12-08" as that day at midnight; nothing for any other text or a day the calendar
// lacks (29 February 2023 is not read as 1 March).
std::optional<TDateTime> ParseIsoDate(std::string_view text);

// Formats with a pattern of the locale kind: d dd M MM yy yyyy h hh H HH m mm s ss AP ap,
// 'quoted' literal text; every other character stands for itself.
std::string FormatDateTime(TDateTime value, std::string_view pattern);
