// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/RememberedListsUnit.h"

#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/TextListUnit.h"

#include <algorithm>
#include <filesystem>

namespace {
bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return CurrentHost().CompareIgnoringCase(a, b) < 0;
}
} // namespace

void SortIgnoringCase(std::vector<std::string>& list) {
  std::stable_sort(list.begin(), list.end(), LessIgnoringCase);
}

void InsertSortedIgnoringCase(std::vector<std::string>& list, const std::string& text) {
  list.insert(std::upper_bound(list.begin(), list.end(), text, LessIgnoringCase), text);
}

bool LacksIgnoringCase(const std::vector<std::string>& list, std::string_view text) {
  THost& host = CurrentHost();
  return std::none_of(list.begin(), list.end(), [&](const std::string& entry) {
    return host.CompareIgnoringCase(entry, text) == 0;
  });
}

std::optional<TProblem> LoadRememberedLists(const std::string& folder, TRememberedLists& lists) {
  lists = {};
  std::string failed; // the paths, one a line
  for (std::size_t i = 0; i < lists.size(); ++i) {
    const std::string path = folder + RememberedListFileNames[i];
    auto lines = ReadTextList(path);
    if (!lines) {
      std::error_code error;
      const bool missing = std::filesystem::symlink_status(path, error).type() ==
                           std::filesystem::file_type::not_found;
      lists.FileStates[i] = missing ? TListFileState::Missing : TListFileState::Unreadable;
      failed += (failed.empty() ? "" : "\n") + path;
      continue;
    }
    SortIgnoringCase(*lines);
    lists[i] = std::move(*lines);
  }
  if (!failed.empty())
    return ErrorProblem(ecOpenForReading, failed);
  return std::nullopt;
}

bool SaveRememberedLists(const std::string& folder, TRememberedLists& lists,
                         const std::array<std::string, 5>& texts, std::string* failedPath) {
  for (std::size_t i = 0; i < lists.size(); ++i)
    if (!texts[i].empty() && LacksIgnoringCase(lists[i], texts[i]))
      InsertSortedIgnoringCase(lists[i], texts[i]);
  for (std::size_t i = 0; i < lists.size(); ++i) {
    if (lists.FileStates[i] == TListFileState::Unreadable)
      continue;
    if (!WriteTextList(folder + RememberedListFileNames[i], lists[i])) {
      if (failedPath)
        *failedPath = folder + RememberedListFileNames[i];
      return false;
    }
    lists.FileStates[i] = TListFileState::Read;
  }
  return true;
}
