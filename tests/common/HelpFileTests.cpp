// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/FileUnit.h"
#include "common/HelpFileUnit.h"

#include <gtest/gtest.h>

// Every topic the windows and commands name has its section in the shipped help file.
TEST(HelpFile, ShippedFileHoldsEveryTopic) {
  const auto help = ReadFileBytes(std::string(TAMBERLON_TEST_DATA) + "/../../data/" + HelpFileName);
  ASSERT_TRUE(help.has_value());
  for (int topic : {100, 140,  290,  291,  500,  600,  693,  700,  793,  794,
                    991, 1100, 1130, 1200, 1300, 1400, 2000, 2090, 2091, 9000})
    EXPECT_TRUE(HelpTopicExists(*help, topic)) << topic;
  EXPECT_FALSE(HelpTopicExists(*help, 1));
  // The template reference names every token.
  for (const char* token : {"$TRACK_CHECKSUM", "$POSTING_POLICY", "@RIGHT", "$GROUP_NUMBER",
                            "$TOTAL_BYTES", "$NFO_URL"})
    EXPECT_NE(help->find(token), std::string::npos) << token;
}
