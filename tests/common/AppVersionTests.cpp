// SPDX-License-Identifier: GPL-3.0-or-later
#include "BuildInfo.h"
#include "common/AppVersionUnit.h"
#include "support/ScriptedHost.h"

#include <filesystem>
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
  // The web page is the build's: none unless it names one.
  EXPECT_EQ(GetProductURL(), TAMBERLON_PRODUCT_URL);
  EXPECT_EQ(HasProductURL(), !GetProductURL().empty());
}

TEST(VersionInfo, ProgramFolderEndsWithTheSeparator) {
  TWithScriptedHost scripted;
  EXPECT_EQ(GetProgramFolder(), scripted.Host.ProgramDir.Path());
  EXPECT_EQ(GetProgramFolder().back(), '/');
}

namespace {
bool Writable(const std::string&) {
  return true;
}
bool ReadOnly(const std::string&) {
  return false;
}
} // namespace

TEST(ProgramFolder, PortableCopyOrPerUserFolderSeededFromTheInstallation) {
  TTempFolder root;
  const std::string bin = root.Path() + "usr/bin/";
  const std::string share = root.Path() + "usr/share/tamberlon/";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(share);
  root.Write("usr/share/tamberlon/groups.txt", "a.b\r\n");
  root.Write("usr/share/tamberlon/ZERUvez.hlp", "help");
  const std::string program = bin + "tamberlon";

  EXPECT_EQ(ChooseProgramFolder(program, std::nullopt, root.Path() + "home", Writable), bin);

  const std::string config = root.Path() + "config";
  const std::string folder = ChooseProgramFolder(program, config, root.Path() + "home", ReadOnly);
  EXPECT_EQ(folder, config + "/tamberlon/");
  EXPECT_EQ(ReadWholeFile(folder + "groups.txt"), "a.b\r\n");
  // The user's own files are never replaced by the installed ones.
  root.Write("config/tamberlon/groups.txt", "mine.group\r\n");
  ChooseProgramFolder(program, config, std::nullopt, ReadOnly);
  EXPECT_EQ(ReadWholeFile(folder + "groups.txt"), "mine.group\r\n");

  EXPECT_EQ(ChooseProgramFolder(program, std::string(), root.Path() + "home", ReadOnly),
            root.Path() + "home/.config/tamberlon/");
  // Only an absolute folder will do; without one there is none.
  EXPECT_EQ(ChooseProgramFolder(program, "relative", root.Path() + "home", ReadOnly),
            root.Path() + "home/.config/tamberlon/");
  EXPECT_EQ(ChooseProgramFolder(program, "relative", std::nullopt, ReadOnly), "");
  EXPECT_EQ(ChooseProgramFolder(program, std::nullopt, "", ReadOnly), "");
}
