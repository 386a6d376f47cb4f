// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/DateTimeUnit.h"

#include <cctype>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace {
using namespace std::chrono;
constexpr sys_days Epoch = sys_days{year{1899} / December / 30};
constexpr double SecondsPerDay = 86400.0;
} // namespace

TDateTime EncodeDateTime(const TDateTimeParts& parts) {
  const sys_days date = sys_days{year{parts.Year} / month(static_cast<unsigned>(parts.Month)) /
                                 day(static_cast<unsigned>(parts.Day))};
  const double days = static_cast<double>((date - Epoch).count());
  const double time = (parts.Hour * 3600.0 + parts.Minute * 60.0 + parts.Second) / SecondsPerDay;
  return days + time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6)
    return {};
  // Round to the second first, so 23:59:59.9999 does not show as the day before.
  const auto totalSeconds = static_cast<long long>(std::llround(value * SecondsPerDay));
  long long dayCount = totalSeconds / 86400;
  long long secondOfDay = totalSeconds % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --dayCount;
  }
  const year_month_day date{Epoch + days{dayCount}};
  TDateTimeParts parts;
  parts.Year = static_cast<int>(date.year());
  parts.Month = static_cast<int>(static_cast<unsigned>(date.month()));
  parts.Day = static_cast<int>(static_cast<unsigned>(date.day()));
  parts.Hour = static_cast<int>(secondOfDay / 3600);
  parts.Minute = static_cast<int>(secondOfDay / 60 % 60);
  parts.Second = static_cast<int>(secondOfDay % 60);
  return parts;
}

std::optional<TDateTime> RegularFileModificationTime(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
    return std::nullopt;
  return LocalDateTime(status.st_mtim.tv_sec);
}

std::optional<TDateTime> LocalDateTime(std::int64_t seconds) {
  std::tm local{};
  const auto time = static_cast<std::time_t>(seconds);
  if (!::localtime_r(&time, &local))
    return std::nullopt;
  return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, local.tm_sec});
}

std::string DateTimeToIso(TDateTime value) {
  const TDateTimeParts p = DecodeDateTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute, p.Second);
  return text;
}

namespace {
struct TPatternNumber {
  int Value = 0;
  std::size_t Width = 1;
};

// The number a run of one pattern letter stands for ("dd", "yyyy", "h"); none for a letter
// that is no number.
std::optional<TPatternNumber> NumberOfRun(const TDateTimeParts& p, char letter, std::size_t run,
                                          bool twelveHour) {
  const std::size_t width = run >= 2 ? 2 : 1;
  switch (letter) {
  case 'd':
    return TPatternNumber{p.Day, width};
  case 'M':
    return TPatternNumber{p.Month, width};
  case 'y':
    return run >= 4 ? TPatternNumber{p.Year, 4} : TPatternNumber{p.Year % 100, 2};
  case 'h':
    return TPatternNumber{twelveHour ? (p.Hour % 12 == 0 ? 12 : p.Hour % 12) : p.Hour, width};
  case 'H':
    return TPatternNumber{p.Hour, width};
  case 'm':
    return TPatternNumber{p.Minute, width};
  case 's':
    return TPatternNumber{p.Second, width};
  default:
    return std::nullopt;
  }
}
} // namespace

std::string FormatDateTime(TDateTime value, std::string_view pattern) {
  const TDateTimeParts p = DecodeDateTime(value);
  const bool twelveHour =
      pattern.find("AP") != std::string_view::npos || pattern.find("ap") != std::string_view::npos;
  std::string out;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    std::size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c)
      ++run;
    if (const auto number = NumberOfRun(p, c, run, twelveHour)) {
      std::string digits = std::to_string(number->Value);
      if (digits.size() < number->Width)
        digits.insert(0, number->Width - digits.size(), '0');
      out += digits;
    } else if ((c == 'A' || c == 'a') && i + 1 < pattern.size() &&
               (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) {
      out += p.Hour < 12 ? (c == 'A' ? "AM" : "am") : (c == 'A' ? "PM" : "pm");
      run = 2;
    } else if (c == '\'') {
      const std::size_t close = pattern.find('\'', i + 1);
      const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
      out.append(pattern.substr(i + 1, end - i - 1));
      run = end - i + 1;
    } else {
      out.append(run, c);
    }
    i += run;
  }
  return out;
}

std::optional<TDateTime> ParseIsoDate(std::string_view text) {
  const auto digits = [&](std::size_t from, std::size_t count) -> std::optional<int> {
    int value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(text[i])))
        return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  if (text.size() != 10 || text[4] != '-' || text[7] != '-')
    return std::nullopt;
  const auto year = digits(0, 4), month = digits(5, 2), day = digits(8, 2);
  if (!year || !month || !day || *month < 1 || *month > 12 || *day < 1)
    return std::nullopt;
  constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  if (*day > Days[*month - 1] + (*month == 2 && leap ? 1 : 0))
    return std::nullopt; // 29 February 2023 is no day, not 1 March
  return EncodeDateTime({*year, *month, *day, 0, 0, 0});
}
