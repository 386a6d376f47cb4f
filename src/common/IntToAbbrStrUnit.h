// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text forms of a byte count (4.8 MB) and of a playing time (62:05).
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view UnitBytes = "bytes";
inline constexpr std::string_view UnitKB = "KB";
inline constexpr std::string_view UnitMB = "MB";
inline constexpr std::string_view UnitGB = "GB";

// With the host's regional separators.
std::string IntToAbbrStr(std::int64_t bytes);
std::string DurationToStr(double seconds);

std::string IntToAbbrStr(std::int64_t bytes, std::string_view decimalSeparator);
std::string DurationToStr(double seconds, std::string_view timeSeparator);

// The whole number with a separator between groups of three digits (4,718,592).
std::string FormatThousands(std::int64_t value, std::string_view thousandSeparator);
