// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "support/ScriptedHost.h"

#include <filesystem>
#include <gtest/gtest.h>

using TLines = std::vector<std::string>;

TEST(Preferences, CommaTextBothWays) {
  const struct {
    const char* Name;
    TLines Entries;
    std::string Text;
  } cases[] = {
      {"plain", {"a.b", "c.d"}, "a.b,c.d"},
      {"blank and quote", {"a b", "say \"hi\""}, "\"a b\",\"say \"\"hi\"\"\""},
      {"comma", {"x,y"}, "\"x,y\""},
      {"one empty entry", {""}, "\"\""},
      {"empty entry among others", {"a", "", "b"}, "a,,b"},
      {"none", {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(CommaText(c.Entries), c.Text);
    EXPECT_EQ(SplitCommaText(c.Text), c.Entries);
  }
  EXPECT_EQ(SplitCommaText(" a  b\tc "), (TLines{"a", "b", "c"}));
  EXPECT_EQ(SplitCommaText("a,"), (TLines{"a", ""}));
}

TEST(Preferences, IntegersForBooleans) {
  EXPECT_EQ(ParsePreferenceInteger("2"), 2);
  EXPECT_EQ(ParsePreferenceInteger("0x1F"), 31);
  EXPECT_EQ(ParsePreferenceInteger("-1"), -1);
  EXPECT_EQ(ParsePreferenceInteger("yes"), std::nullopt);
  EXPECT_EQ(ParsePreferenceInteger(""), std::nullopt);
  EXPECT_EQ(ParsePreferenceInteger("1x"), std::nullopt);
}

TEST(Preferences, DefaultsRoundTripAndUnknownKeysKept) {
  TTempFolder folder;
  const std::string path = folder.Path() + "tamberlon.INI";
  constexpr std::string_view Switches[] = {"MakeSFV"};
  const TPreferences defaults = ReadPreferences(path, Switches);
  EXPECT_TRUE(defaults.HidePaths);
  EXPECT_FALSE(defaults.UsedID3Tags);
  EXPECT_TRUE(defaults.SortSelections);
  EXPECT_FALSE(defaults.Switches.at("MakeSFV"));
  EXPECT_EQ(defaults.NewsGroupFilter, "mp3");
  EXPECT_TRUE(defaults.NGPostedTo.empty());
  EXPECT_FALSE(defaults.MainWindow); // the window starts centred

  folder.Write("tamberlon.INI",
               "[Other]\r\nmine=kept\r\n[MenuPrefs]\r\nHidePaths=2\r\n"
               "UsedID3Tags=yes\r\nMakeSFV=0x1\r\nSortSelections=0\r\n"
               "NewsGroupFilter=" +
                   std::string(3000, 'f') +
                   "\r\n"
                   "[InitPrefs]\r\nNGPostedTo=b.two,a.one\r\n\x01\xFF garbage\r\n"
                   "[Window]\r\nMainLeft=10\r\nMainTop=20\r\nMainWidth=640\r\nMainHeight=0\r\n"
                   "[Server2]\r\nHost=two\r\n[Server3]\r\nHost=three\r\n[Server5]\r\nHost=5\r\n");
  TPreferences read = ReadPreferences(path, Switches);
  EXPECT_TRUE(read.HidePaths);
  EXPECT_FALSE(read.UsedID3Tags); // "yes" is no integer: the default
  EXPECT_TRUE(read.Switches.at("MakeSFV"));
  EXPECT_FALSE(read.SortSelections);
  EXPECT_EQ(read.NewsGroupFilter, std::string(3000, 'f')); // read whole, however long
  EXPECT_EQ(read.NGPostedTo, (TLines{"b.two", "a.one"}));
  EXPECT_FALSE(read.MainWindow);          // no height: no place at all, never a window 0 high
  ASSERT_EQ(read.MoreServers.size(), 2u); // up to the first number missing
  EXPECT_EQ(read.MoreServers[1].at("Host"), "three");

  read.Encoder = "LAME 3.100";
  read.NGPostedTo = {"a b", ""};
  read.MainWindow = TWindowPlace{-1200, 40, 900, 700}; // a screen left of the primary one
  read.MoreServers.erase(read.MoreServers.begin());    // the second server removed
  ASSERT_TRUE(WritePreferences(path, read));
  const std::string text = ReadWholeFile(path);
  EXPECT_NE(text.find("mine=kept"), std::string::npos);
  EXPECT_NE(text.find("HidePaths=1"), std::string::npos);
  EXPECT_NE(text.find("NGPostedTo=\"a b\","), std::string::npos);
  const TPreferences again = ReadPreferences(path);
  EXPECT_EQ(again.Encoder, "LAME 3.100");
  EXPECT_EQ(again.NGPostedTo, (TLines{"a b", ""}));
  EXPECT_EQ(again.MainWindow, read.MainWindow);
  ASSERT_EQ(again.MoreServers.size(), 1u);
  EXPECT_EQ(again.MoreServers[0].at("Host"), "three");
  EXPECT_EQ(text.find("[Server3]"), std::string::npos) << "no entry left past the list's end";
}

TEST(Preferences, FailedWriteLeavesThePreviousFile) {
  TTempFolder folder;
  std::filesystem::create_directory(folder.Path() + "tamberlon.INI");
  EXPECT_FALSE(WritePreferences(folder.Path() + "tamberlon.INI", {}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

TEST(RememberedLists, EachLoadsOnItsOwnAndAnUnreadableFileIsNeverWrittenOver) {
  TWithScriptedHost scripted;
  TTempFolder& folder = scripted.Host.ProgramDir;
  for (const char* name : RememberedListFileNames)
    folder.Write(name, "b\r\nA\rc\n");
  std::filesystem::remove(folder.Path() + "rippedby.txt"); // missing
  std::filesystem::remove(folder.Path() + "postedby.txt"); // there, but unreadable
  std::filesystem::create_directory(folder.Path() + "postedby.txt");
  TRememberedLists lists;
  EXPECT_EQ(LoadRememberedLists(folder.Path(), lists), // once for both
            ErrorProblem(ecOpenForReading,
                         folder.Path() + "rippedby.txt\n" + folder.Path() + "postedby.txt"));
  for (std::size_t i : {rlLabels, rlEncoders, rlCodecs})
    EXPECT_EQ(lists[i], (TLines{"A", "b", "c"})) << i;
  EXPECT_TRUE(lists[rlRippedBy].empty());
  EXPECT_TRUE(lists[rlPostedBy].empty());

  ASSERT_TRUE(SaveRememberedLists(folder.Path(), lists, {"", "Alice", "Bob", "", ""}));
  EXPECT_EQ(ReadWholeFile(folder.Path() + "rippedby.txt"), "Alice\r\n"); // created
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path() + "postedby.txt"));
  EXPECT_EQ(ReadWholeFile(folder.Path() + "codecs.txt"), "A\r\nb\r\nc\r\n");
}

TEST(RememberedLists, SaveAddsTextsOnceIgnoringCase) {
  TWithScriptedHost scripted;
  TTempFolder& folder = scripted.Host.ProgramDir;
  TRememberedLists lists;
  lists[rlRippedBy] = {"alice"};
  ASSERT_TRUE(SaveRememberedLists(folder.Path(), lists, {"Label", "ALICE", "", "b", "a"}));
  ASSERT_TRUE(SaveRememberedLists(folder.Path(), lists, {"LABEL", "bob", "", "B", "a"}));
  EXPECT_EQ(ReadWholeFile(folder.Path() + "labels.txt"), "Label\r\n");
  EXPECT_EQ(ReadWholeFile(folder.Path() + "rippedby.txt"), "alice\r\nbob\r\n");
  EXPECT_EQ(ReadWholeFile(folder.Path() + "postedby.txt"), "");
  std::filesystem::create_directory(folder.Path() + "encoders.txt.x");
  std::filesystem::remove(folder.Path() + "encoders.txt");
  std::filesystem::create_directory(folder.Path() + "encoders.txt");
  EXPECT_FALSE(SaveRememberedLists(folder.Path(), lists, {"", "", "", "", ""}));
}
