// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TextListUnit.h"
#include "newsgroups/NewsGroupSelectionUnit.h"
#include "support/ScriptedHost.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace {
using TLines = std::vector<std::string>;

struct NewsGroups : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  TNewsGroupSelection Selection;
  std::string Path(const std::string& name) const { return Host.ProgramDir.Path() + name; }
  std::string Write(const std::string& name, std::string_view bytes) const {
    return Host.ProgramDir.Write(name, bytes);
  }
  TLines Known() const { return Selection.KnownGroups.Groups(); }
  TLines Available() const {
    TLines names;
    for (const TFileItem& item : Selection.AvailableItems)
      names.push_back(item.Name);
    return names;
  }
};
} // namespace

TEST_F(NewsGroups, ListIsSortedIgnoringCaseAndFirstEntryKeepsItsCase) {
  TNewsGroups list;
  for (const char* name : {"b.x", "A.y", "B.X", "c.z", "a.Y"})
    list.Add(name);
  EXPECT_EQ(list.Groups(), (TLines{"A.y", "b.x", "c.z"}));
  EXPECT_TRUE(list.Modified);
  EXPECT_TRUE(list.Contains("C.Z"));
  EXPECT_FALSE(list.Contains("c"));
}

TEST_F(NewsGroups, ValidNamesNeedADot) {
  EXPECT_TRUE(TNewsGroups::IsValidName("."));
  EXPECT_TRUE(TNewsGroups::IsValidName("alt.binaries"));
  EXPECT_FALSE(TNewsGroups::IsValidName(""));
  EXPECT_FALSE(TNewsGroups::IsValidName("altbinaries"));
}

TEST_F(NewsGroups, ImportReplacesTheListByTheReadingRules) {
  const struct {
    const char* Name;
    std::string Bytes;
    TLines Expected;
  } cases[] = {
      {"the worked example", "b.x\r\na.y\r\nB.X\r\n\r\nc.z\r\n", {"", "a.y", "b.x", "c.z"}},
      {"line feeds alone", "b.x\na.y\n", {"a.y", "b.x"}},
      {"carriage returns alone", "b.x\ra.y", {"a.y", "b.x"}},
      {"a zero byte ends the text", std::string("a.a\r\nb.b\0c.c\r\n", 14), {"a.a", "b.b"}},
      {"nothing trimmed", " a.a \r\n", {" a.a "}},
      {"empty file", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Selection.KnownGroups.Add("old.group");
    Selection.LoadNewsGroupFile(Write("import.txt", c.Bytes));
    EXPECT_EQ(Known(), c.Expected);
    EXPECT_TRUE(Selection.KnownGroups.Modified);
  }
  EXPECT_EQ(Host.BusyDepth, 0);
  EXPECT_EQ(Host.BusyCount, 6);
}

TEST_F(NewsGroups, FailedLoadKeepsTheListUnmodified) {
  Selection.KnownGroups.Add("kept.group");
  Selection.KnownGroups.Modified = false;
  EXPECT_EQ(Selection.LoadNewsGroupFile(Path("missing.txt")),
            ErrorProblem(ecLoadNewsgroupList, Path("missing.txt")));
  EXPECT_EQ(Known(), TLines{"kept.group"});
  EXPECT_FALSE(Selection.KnownGroups.Modified); // so the end writes no stale list
  EXPECT_EQ(Host.BusyDepth, 0);
}

TEST_F(NewsGroups, EditsMadeInAnotherProgramSurvive) {
  const std::string groups = NewsGroupListFileName;
  Write(groups, "a.a\r\nb.b\r\n");
  Selection.Create();
  Write(groups, "a.a\r\nc.c\r\n"); // edited while the program runs, nothing added here
  Selection.ReloadWhenChangedOutside();
  EXPECT_EQ(Known(), (TLines{"a.a", "c.c"}));

  Selection.AddGroup("d.d");
  Write(groups, "c.c\r\ne.e\r\n"); // edited again, with an addition here unsaved
  Selection.ReloadWhenChangedOutside();
  EXPECT_EQ(Known(), (TLines{"a.a", "c.c", "d.d"}));
  Selection.Destroy(); // the file as it is now, plus this run's addition
  EXPECT_EQ(ReadWholeFile(Path(groups)), "c.c\r\nd.d\r\ne.e\r\n");

  Write(groups, "f.f\r\n"); // after the save: a later save still sees the edit
  Selection.AddGroup("g.g");
  Selection.Destroy();
  EXPECT_EQ(ReadWholeFile(Path(groups)), "f.f\r\ng.g\r\n");
}

TEST_F(NewsGroups, StartAndEndWriteOnlyAChangedList) {
  Write(NewsGroupListFileName, "b.x\na.y\n");
  Selection.Create();
  EXPECT_FALSE(Selection.KnownGroups.Modified);
  Selection.Destroy();
  EXPECT_EQ(ReadWholeFile(Path(NewsGroupListFileName)), "b.x\na.y\n"); // untouched

  Selection.Create();
  Selection.AddGroup("c.z");
  Selection.Destroy();
  EXPECT_EQ(ReadWholeFile(Path(NewsGroupListFileName)), "a.y\r\nb.x\r\nc.z\r\n");
  EXPECT_FALSE(Selection.KnownGroups.Modified);
}

TEST_F(NewsGroups, NoListAtStartIsAnEmptyListAndNoFileAtTheEnd) {
  EXPECT_EQ(Selection.Create(), ErrorProblem(ecLoadNewsgroupList, Path(NewsGroupListFileName)));
  EXPECT_TRUE(Known().empty());
  Selection.Destroy();
  EXPECT_FALSE(std::filesystem::exists(Path(NewsGroupListFileName)));
}

TEST_F(NewsGroups, FailedSaveKeepsThePreviousFileAndTheFlag) {
  std::filesystem::create_directory(Path(NewsGroupListFileName));
  Selection.KnownGroups.Add("a.b");
  EXPECT_EQ(Selection.KnownGroups.SaveList(),
            ErrorProblem(ecSaveNewsgroupList, Path(NewsGroupListFileName)));
  EXPECT_TRUE(Selection.KnownGroups.Modified);
  EXPECT_TRUE(std::filesystem::is_directory(Path(NewsGroupListFileName)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Host.ProgramDir.Path()), {}), 1);
}

TEST_F(NewsGroups, FilterAndSelection) {
  Selection.LoadNewsGroupFile(Write(
      "l.txt",
      "alt.binaries.sounds.mp3\nALT.BINARIES.SOUNDS.MP3.COMPLETE_CD\nalt.binaries.sounds.flac\n"
      "alt.binaries.sounds mp3.x\n"));
  Selection.FilterText = "mp3";
  Selection.TimerTick();
  EXPECT_EQ(Available(), (TLines{"alt.binaries.sounds mp3.x", "alt.binaries.sounds.mp3",
                                 "ALT.BINARIES.SOUNDS.MP3.COMPLETE_CD"}));
  Selection.FilterText = "sounds mp3";
  Selection.TimerTick();
  EXPECT_EQ(Available(), TLines{"alt.binaries.sounds mp3.x"});

  Selection.FilterText = "";
  Selection.FilterSelected({"ALT.binaries.sounds.FLAC", "not.known"});
  EXPECT_EQ(Selection.SelectedGroups, (TLines{"ALT.binaries.sounds.FLAC", "not.known"}));
  EXPECT_EQ(Available().size(), 3u); // the selected group is absent whatever its case

  Selection.SelectAvailable(0);
  EXPECT_EQ(Available(),
            (TLines{"alt.binaries.sounds.mp3", "ALT.BINARIES.SOUNDS.MP3.COMPLETE_CD"}));
  EXPECT_EQ(Selection.SelectedGroups.front(), "alt.binaries.sounds mp3.x");

  // Unselecting a group that is not known: gone from both sides.
  EXPECT_EQ(Selection.UnselectAt(2), std::nullopt);
  EXPECT_EQ(Selection.SelectedGroups.size(), 2u);
  EXPECT_EQ(Selection.UnselectAt(0), std::optional<std::size_t>(0));
  EXPECT_EQ(Available().size(), 3u);
  Selection.ClearSelected();
  EXPECT_EQ(Available().size(), 4u);
}

TEST_F(NewsGroups, TimerRebuildsOnlyWhenTheTextChanged) {
  int rebuilds = 0;
  Selection.Changed = [&] {
    ++rebuilds;
  };
  Selection.FilterText = "x";
  Selection.TimerTick();
  Selection.TimerTick();
  EXPECT_EQ(rebuilds, 1);
  Selection.FilterText = "y";
  Selection.FilterText = "x"; // typed and changed back before the tick
  Selection.TimerTick();
  EXPECT_EQ(rebuilds, 1);
}

TEST_F(NewsGroups, AddGroupAppendsAPassingNameAtTheEnd) {
  Selection.LoadNewsGroupFile(Write("l.txt", "b.mp3\nc.mp3\n"));
  Selection.FilterText = "mp3";
  Selection.RefreshAvailable();
  Selection.AddGroup("a.mp3");
  Selection.AddGroup("a.flac");
  EXPECT_EQ(Available(), (TLines{"b.mp3", "c.mp3", "a.mp3"}));
  EXPECT_EQ(Known(), (TLines{"a.flac", "a.mp3", "b.mp3", "c.mp3"}));
}

TEST_F(NewsGroups, ShippedStarterListLoadsCleanly) {
  const auto lines = ReadTextList(std::string(TAMBERLON_TEST_DATA) + "/../../data/groups.txt");
  ASSERT_TRUE(lines.has_value());
  EXPECT_GE(lines->size(), 10u);
  EXPECT_EQ(SortedGroups(*lines), *lines); // already in order, no repeats
  for (const std::string& name : *lines)
    EXPECT_TRUE(TNewsGroups::IsValidName(name)) << name;
  // Each kind of album opens the window on groups of its own kind (a FLAC album was offered
  // only MP3 groups); a remembered kind's word follows the album, a typed filter stays.
  const struct {
    const char* Remembered;
    const char* Format;
    bool Lossless;
    const char* Filter;
  } kinds[] = {{"mp3", "MP3", false, "mp3"},
               {"mp3", "FLAC", true, "flac"},
               {"FLAC", "M4A", true, "lossless"},
               {"lossless", "Opus", false, "mp3"},
               {"sounds", "FLAC", true, "sounds"}};
  for (const auto& kind : kinds) {
    const std::string filter = NewsGroupFilterFor(kind.Remembered, kind.Format, kind.Lossless);
    EXPECT_EQ(filter, kind.Filter) << kind.Remembered << " " << kind.Format;
    EXPECT_TRUE(std::any_of(lines->begin(), lines->end(), [&](const std::string& name) {
      return PassesFilter(name, filter);
    })) << filter;
  }
}
