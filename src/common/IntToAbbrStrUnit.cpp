// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/IntToAbbrStrUnit.h"

#include "common/Host.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {
constexpr std::int64_t KB = 1024;
constexpr std::int64_t MB = KB * 1024;
constexpr std::int64_t GB = MB * 1024;

// bytes / divisor to one decimal, an exact half rounded up; integer arithmetic keeps
// every 64-bit count exact.
std::string Tenths(std::int64_t bytes, std::int64_t divisor, std::string_view unit,
                   std::string_view decimalSeparator) {
  const std::int64_t whole = bytes / divisor;
  const std::int64_t rest = bytes % divisor;
  const std::int64_t tenths = whole * 10 + (rest * 10 + divisor / 2) / divisor;
  std::string text = std::to_string(tenths / 10);
  text.append(decimalSeparator).append(std::to_string(tenths % 10)).append(" ").append(unit);
  return text;
}
} // namespace

std::string IntToAbbrStr(std::int64_t bytes) {
  return IntToAbbrStr(bytes, CurrentHost().RegionalSettings().DecimalSeparator);
}

std::string DurationToStr(double seconds) {
  return DurationToStr(seconds, CurrentHost().RegionalSettings().TimeSeparator);
}

std::string IntToAbbrStr(std::int64_t bytes, std::string_view decimalSeparator) {
  if (bytes < 8192)
    return std::to_string(bytes) + " " + std::string(UnitBytes);
  if (bytes < MB)
    return Tenths(bytes, KB, UnitKB, decimalSeparator);
  if (bytes < GB)
    return Tenths(bytes, MB, UnitMB, decimalSeparator);
  return Tenths(bytes, GB, UnitGB, decimalSeparator);
}

std::string FormatThousands(std::int64_t value, std::string_view thousandSeparator) {
  const std::string digits = std::to_string(value);
  const std::size_t sign = value < 0 ? 1 : 0;
  std::string text = digits.substr(0, sign);
  for (std::size_t i = sign; i < digits.size(); ++i) {
    if (i > sign && (digits.size() - i) % 3 == 0)
      text.append(thousandSeparator);
    text += digits[i];
  }
  return text;
}

std::string DurationToStr(double seconds, std::string_view timeSeparator) {
  // Values beyond the 64-bit range (or not numbers) cannot come from a real file; they
  // are pinned so the conversion stays defined.
  constexpr double Limit = 9.0e18;
  std::int64_t total = 0;
  if (std::isfinite(seconds))
    total = static_cast<std::int64_t>(std::fmax(-Limit, std::fmin(Limit, seconds)));
  const std::int64_t minutes = total / 60;
  const std::int64_t rest = total % 60;
  char restText[8];
  std::snprintf(restText, sizeof restText, "%.2d", static_cast<int>(rest));
  std::string text = std::to_string(minutes);
  text.append(timeSeparator).append(restText);
  return text;
}
