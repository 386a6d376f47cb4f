// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/IntToAbbrStrUnit.h"
#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

TEST(IntToAbbrStr, ThresholdsUnitsAndRounding) {
  TWithScriptedHost scripted;
  const struct {
    std::int64_t Bytes;
    const char* Expected;
  } cases[] = {
      {0, "0 bytes"},
      {-1, "-1 bytes"},
      {8191, "8191 bytes"},
      {8192, "8.0 KB"},
      {8448, "8.3 KB"}, // 8.25: an exact half goes up
      {8960, "8.8 KB"}, // 8.75
      {1048575, "1024.0 KB"},
      {1048576, "1.0 MB"},
      {5000000, "4.8 MB"},
      {1073741823, "1024.0 MB"},
      {1073741824, "1.0 GB"},
      {1024LL * 1073741824, "1024.0 GB"},
      {INT64_MAX, "8589934592.0 GB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Bytes);
    EXPECT_EQ(IntToAbbrStr(c.Bytes), c.Expected);
  }
}

TEST(IntToAbbrStr, UsesTheRegionalDecimalSeparator) {
  TWithScriptedHost scripted;
  scripted.Host.Settings.DecimalSeparator = ",";
  EXPECT_EQ(IntToAbbrStr(5000000), "4,8 MB");
  EXPECT_EQ(IntToAbbrStr(8191), "8191 bytes");
}

TEST(DurationToStr, MinutesSeparatorAndTwoDigitSeconds) {
  TWithScriptedHost scripted;
  const struct {
    double Seconds;
    const char* Expected;
  } cases[] = {
      {0, "0:00"},    {0.99, "0:00"},  {59.9, "0:59"},    {61, "1:01"},
      {600, "10:00"}, {3725, "62:05"}, {36000, "600:00"}, {1e300, "150000000000000000:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Seconds);
    EXPECT_EQ(DurationToStr(c.Seconds), c.Expected);
  }
  scripted.Host.Settings.TimeSeparator = ".";
  EXPECT_EQ(DurationToStr(3725), "62.05");
}
