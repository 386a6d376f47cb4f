#include "common/IntToAbbrStrUnit.h"

#include "platform/Host.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {
constexpr std::int64_t KB = 1024;
constexpr std::int64_t MB = KB * 1024;
constexpr std::int64_t GB = MB * 1024;

// bytes / divisor to one decimal, an exact half rounded up; integer arithmetic keeps
// every 64-bit count exact.
std::string Tenths(std::int64_t bytes, std::int64_t divisor, std::string_view unit) {
  const std::int64_t whole = bytes / divisor;
  const std::int64_t rest = bytes % divisor;
  const std::int64_t tenths = whole * 10 + (rest * 10 + divisor / 2) / divisor;
  return std::to_string(tenths / 10) + CurrentHost().RegionalSettings().DecimalSeparator +
         std::to_string(tenths % 10) + " " + std::string(unit);
}
} // namespace

std::string IntToAbbrStr(std::int64_t bytes) {
  if (bytes < 8192)
    return std::to_string(bytes) + " " + std::string(UnitBytes);
  if (bytes < MB)
    return Tenths(bytes, KB, UnitKB);
  if (bytes < GB)
    return Tenths(bytes, MB, UnitMB);
  return Tenths(bytes, GB, UnitGB);
}

std::string DurationToStr(double seconds) {
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
  return std::to_string(minutes) + CurrentHost().RegionalSettings().TimeSeparator + restText;
}
