// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/MostPopularUnit.h"

#include <gtest/gtest.h>
#include <vector>

TEST(MostPopular, IntegersByCountThenEarliestFirstOccurrence) {
  const struct {
    const char* Name;
    std::vector<std::int32_t> Values;
    std::int32_t Expected;
  } cases[] = {
      {"empty", {}, 0},
      {"single", {5}, 5},
      {"tie goes to the earlier", {1, 2, 2, 1}, 1},
      {"majority", {3, 4, 4}, 4},
      {"later majority", {7, 8, 9, 9, 8, 9}, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(MostPopularInt(c.Values), c.Expected);
  }
}

TEST(MostPopular, TextsCompareExactly) {
  const std::vector<std::string> caseDiffers = {"Rock", "rock", "Pop"};
  EXPECT_EQ(MostPopularStr(caseDiffers), "Rock");
  const std::vector<std::string> spaces = {"Pop ", "Pop", "Pop"};
  EXPECT_EQ(MostPopularStr(spaces), "Pop");
  EXPECT_EQ(MostPopularStr({}), "");
  const std::vector<std::string> emptyWins = {"", "A", ""};
  EXPECT_EQ(MostPopularStr(emptyWins), "");
}
