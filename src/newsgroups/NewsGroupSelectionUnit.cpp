// SPDX-License-Identifier: GPL-3.0-or-later
#include "newsgroups/NewsGroupSelectionUnit.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/Host.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <array>
#include <cctype>

bool PassesFilter(std::string_view name, std::string_view filter) {
  if (filter.empty())
    return true;
  THost& host = CurrentHost();
  return host.UpperCase(name).find(host.UpperCase(filter)) != std::string::npos;
}

std::string NewsGroupFilterFor(std::string_view remembered, std::string_view format,
                               bool lossless) {
  static constexpr std::array<std::string_view, 3> KindWords = {"mp3", "flac", "lossless"};
  std::string lower(remembered);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (std::find(KindWords.begin(), KindWords.end(), lower) == KindWords.end())
    return std::string(remembered);
  if (!lossless)
    return "mp3";
  return format == "FLAC" ? "flac" : "lossless";
}

std::optional<TProblem> TNewsGroupSelection::Create() {
  TBusyCursor busy;
  auto problem = KnownGroups.LoadProgramList();
  RefreshAvailable();
  return problem;
}

void TNewsGroupSelection::ReloadWhenChangedOutside() {
  if (KnownGroups.ReloadWhenChangedOutside())
    RefreshAvailable();
}

std::optional<TProblem> TNewsGroupSelection::Destroy() {
  return KnownGroups.SaveList();
}

void TNewsGroupSelection::RefreshAvailable() {
  THost& host = CurrentHost();
  const std::string filter = host.UpperCase(FilterText);
  std::vector<std::string> selected;
  for (const std::string& name : SelectedGroups)
    selected.push_back(host.UpperCase(name));

  AvailableItems.clear();
  for (const std::string& name : KnownGroups.Groups()) {
    const std::string upper = host.UpperCase(name);
    if (std::find(selected.begin(), selected.end(), upper) != selected.end())
      continue;
    if (!filter.empty() && upper.find(filter) == std::string::npos)
      continue;
    AvailableItems.push_back({name});
  }
  LastFilter = FilterText;
  NotifyChanged();
}

void TNewsGroupSelection::AddGroup(const std::string& name) {
  KnownGroups.Add(name);
  if (PassesFilter(name, FilterText)) {
    AvailableItems.push_back({name});
    NotifyChanged();
  }
}

std::optional<TProblem> TNewsGroupSelection::LoadNewsGroupFile(const std::string& path) {
  TBusyCursor busy;
  if (auto problem = KnownGroups.LoadFromFile(path))
    return problem;
  RefreshAvailable();
  return std::nullopt;
}

void TNewsGroupSelection::FilterSelected(const std::vector<std::string>& groups) {
  SelectedGroups.clear();
  for (const std::string& name : groups)
    AddSelected(name);
  RefreshAvailable();
}

void TNewsGroupSelection::TimerTick() {
  if (FilterText != LastFilter)
    RefreshAvailable();
}

void TNewsGroupSelection::SelectAvailable(std::size_t row) {
  if (row >= AvailableItems.size())
    return;
  AddSelected(AvailableItems[row].Name);
  AvailableItems.erase(AvailableItems.begin() + static_cast<std::ptrdiff_t>(row));
  NotifyChanged();
}

std::optional<std::size_t> TNewsGroupSelection::UnselectAt(std::size_t index) {
  if (index >= SelectedGroups.size())
    return std::nullopt;
  SelectedGroups.erase(SelectedGroups.begin() + static_cast<std::ptrdiff_t>(index));
  RefreshAvailable();
  return index < SelectedGroups.size() ? std::optional(index) : std::nullopt;
}

void TNewsGroupSelection::ClearSelected() {
  SelectedGroups.clear();
  RefreshAvailable();
}

void TNewsGroupSelection::AddSelected(const std::string& name) {
  const auto at = std::upper_bound(SelectedGroups.begin(), SelectedGroups.end(), name,
                                   [](const std::string& a, const std::string& b) {
                                     return CurrentHost().CompareIgnoringCase(a, b) < 0;
                                   });
  SelectedGroups.insert(at, name);
}

void TNewsGroupSelection::NotifyChanged() {
  if (Changed)
    Changed();
}

std::optional<std::string> TNewsGroupSelection::AddEnteredGroup(const std::string& entered) {
  const std::string name(TrimControl(entered));
  if (!TNewsGroups::IsValidName(name))
    return name + " is not a valid news group name";
  if (KnownGroups.Contains(name))
    return name + " is already in the listing";
  AddGroup(name);
  LastGroupAdded = name;
  return std::nullopt;
}

TAgentList LocateForteAgentList() {
  constexpr std::size_t ProgramFilesLimit = 100;
  THost& host = CurrentHost();
  if (const auto programFiles = host.EnvironmentVariable("ProgramFiles")) {
    const std::string path = *programFiles + "/Agent/Data/groups.dat";
    if (programFiles->size() <= ProgramFilesLimit && FileExists(path))
      return {TAgentList::Found, path};
    return {TAgentList::Missing, {}};
  }
  // Where the Agent newsreader keeps its list when it runs in the default Wine prefix.
  if (const auto home = host.EnvironmentVariable("HOME"))
    for (const char* programFiles : {"Program Files", "Program Files (x86)"}) {
      const std::string path = *home + "/.wine/drive_c/" + programFiles + "/Agent/Data/groups.dat";
      if (FileExists(path))
        return {TAgentList::Found, path};
    }
  return {};
}
