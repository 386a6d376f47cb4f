// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ErrorsUnit.h"
#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

TEST(ShowError, ShowsTheCatalogueMessageInOneErrorBox) {
  TWithScriptedHost scripted;
  scripted.Host.ExpectMessage(TMessageKind::Error, "Can't open file for reading");
  ShowError(ecOpenForReading);
  EXPECT_EQ(scripted.Host.Calls, std::vector<std::string>{"Error: Can't open file for reading"});
}

TEST(ShowError, PostingPolicyMessageBreaksLinesWithCarriageReturnsAlone) {
  const std::string_view message = ErrorMessage(ecNoPostingPolicy);
  EXPECT_EQ(message, "Can't find your Posting Policy file\r\rTo create one, from the main menu "
                     "select\rTools -> Edit Posting Policy");
  EXPECT_EQ(message.find('\n'), std::string_view::npos);
}

TEST(ShowError, EveryCodeHasItsOwnMessage) {
  const TErrorCode last = ecTrackStreamUnreadable;
  EXPECT_EQ(ErrorMessage(ecGeneral), "General error. Sorry, no more information is available");
  for (int a = ecGeneral; a <= last; ++a)
    for (int b = a + 1; b <= last; ++b)
      EXPECT_NE(ErrorMessage(TErrorCode(a)), ErrorMessage(TErrorCode(b))) << a << " " << b;
}
