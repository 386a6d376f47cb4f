#include "common/AppVersionUnit.h"
#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

TEST(ShortenVersion, DropsTheThirdComponentOnlyWhenThreeDotsExist) {
  const struct {
    const char* Value;
    const char* Expected;
  } cases[] = {
      {"1.0.3.469", "1.0.469"},
      {"10.20.30.40", "10.20.40"},
      {"1.2.3.4.5", "1.2.4.5"},
      {"1.2.3", "1.2.3"},
      {"1.2", "1.2"},
      {"", ""},
      {"7", "7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(ShortenVersion(c.Value), c.Expected);
  }
}

TEST(ShortenVersion, SearchesEachNextDotWithin99Characters) {
  const std::string farSecond = "1." + std::string(99, '2') + ".3.4";
  EXPECT_EQ(ShortenVersion(farSecond), farSecond);
  const std::string nearSecond = "1." + std::string(98, '2') + ".3.4";
  EXPECT_EQ(ShortenVersion(nearSecond), "1." + std::string(98, '2') + ".4");
}

TEST(VersionInfo, AnswersForTheRunningProgramOnly) {
  TWithScriptedHost scripted;
  const std::string self = GetProgramFile();
  EXPECT_EQ(GetVersionInfoValue(self, "ProductName"), "Tamberlon");
  EXPECT_EQ(GetVersionInfoValue(self, "FileVersion"), "1.0.3.469");
  EXPECT_EQ(GetVersionInfoValue(self, "ProductVersion"), "1.0");
  EXPECT_EQ(GetVersionInfoValue(self, "FileDescription"),
            "Create .NFO files easily with this NFO generator");
  EXPECT_EQ(GetVersionInfoValue(self, "OriginalFilename"), "tamberlon");
  EXPECT_EQ(GetVersionInfoValue(self, "NoSuchValue"), "");
  EXPECT_EQ(GetVersionInfoValue("/bin/sh", "ProductName"), "");
  EXPECT_EQ(GetProductName(), "Tamberlon");
  EXPECT_EQ(GetFileVersion(), "1.0.469");
  EXPECT_FALSE(GetProductURL().empty());
}

TEST(VersionInfo, ProgramFolderEndsWithTheSeparator) {
  TWithScriptedHost scripted;
  EXPECT_EQ(GetProgramFolder(), scripted.Host.ProgramFolder.Path());
  EXPECT_EQ(GetProgramFolder().back(), '/');
}
