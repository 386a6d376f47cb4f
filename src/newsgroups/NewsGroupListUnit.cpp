// SPDX-License-Identifier: GPL-3.0-or-later
#include "newsgroups/NewsGroupListUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "common/TextListUnit.h"

#include <algorithm>

namespace {
bool Less(std::string_view a, std::string_view b) {
  return CurrentHost().CompareIgnoringCase(a, b) < 0;
}
} // namespace

std::vector<std::string> SortedGroups(std::vector<std::string> lines) {
  std::stable_sort(lines.begin(), lines.end(), Less);
  const auto end = std::unique(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
    return CurrentHost().CompareIgnoringCase(a, b) == 0;
  });
  lines.erase(end, lines.end());
  return lines;
}

void TNewsGroups::Add(const std::string& name) {
  Modified = true;
  AddedThisRun.push_back(name);
  const auto at = std::lower_bound(FGroups.begin(), FGroups.end(), name, Less);
  if (at == FGroups.end() || CurrentHost().CompareIgnoringCase(*at, name) != 0)
    FGroups.insert(at, name);
}

bool TNewsGroups::IsValidName(std::string_view name) {
  return !name.empty() && name.find('.') != std::string_view::npos;
}

bool TNewsGroups::Contains(std::string_view name) const {
  const auto at = std::lower_bound(FGroups.begin(), FGroups.end(), name, Less);
  return at != FGroups.end() && CurrentHost().CompareIgnoringCase(*at, name) == 0;
}

std::optional<TProblem> TNewsGroups::LoadFromFile(const std::string& path) {
  auto lines = ReadTextList(path);
  if (!lines)
    return ErrorProblem(ecLoadNewsgroupList, path);
  FGroups = SortedGroups(std::move(*lines));
  AddedThisRun.insert(AddedThisRun.end(), FGroups.begin(), FGroups.end());
  Modified = true;
  return std::nullopt;
}

namespace {
std::string ProgramListPath() {
  return GetProgramFolder() + NewsGroupListFileName;
}
} // namespace

std::optional<TProblem> TNewsGroups::LoadProgramList() {
  const std::string path = ProgramListPath();
  FromProgramList = true;
  DiskText = ReadFileBytes(path);
  if (!DiskText)
    return ErrorProblem(ecLoadNewsgroupList, path);
  FGroups = SortedGroups(SplitTextLines(*DiskText));
  AddedThisRun.clear();
  Modified = false;
  return std::nullopt;
}

bool TNewsGroups::ChangedOnDisk() const {
  return FromProgramList && ReadFileBytes(ProgramListPath()) != DiskText;
}

bool TNewsGroups::ReloadWhenChangedOutside() {
  if (Modified || !ChangedOnDisk())
    return false;
  const auto text = ReadFileBytes(ProgramListPath());
  if (!text)
    return false;
  DiskText = text;
  FGroups = SortedGroups(SplitTextLines(*text));
  return true;
}

std::optional<TProblem> TNewsGroups::SaveList() {
  if (!Modified)
    return std::nullopt;
  Modified = false;
  std::vector<std::string> lines = FGroups;
  if (ChangedOnDisk())
    if (const auto text = ReadFileBytes(ProgramListPath())) {
      lines = SplitTextLines(*text);
      lines.insert(lines.end(), AddedThisRun.begin(), AddedThisRun.end());
      lines = SortedGroups(std::move(lines));
    }
  if (!WriteTextList(ProgramListPath(), lines)) {
    Modified = true;
    return ErrorProblem(ecSaveNewsgroupList, ProgramListPath());
  }
  FGroups = std::move(lines);
  DiskText = JoinTextLines(FGroups);
  FromProgramList = true;
  AddedThisRun.clear();
  return std::nullopt;
}
