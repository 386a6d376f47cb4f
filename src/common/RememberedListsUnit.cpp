#include "common/RememberedListsUnit.h"

#include "common/ErrorsUnit.h"
#include "common/TextListUnit.h"
#include "platform/Host.h"

#include <algorithm>

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

TRememberedLists LoadRememberedLists(const std::string& folder) {
  TRememberedLists lists;
  for (std::size_t i = 0; i < lists.size(); ++i) {
    auto lines = ReadTextList(folder + RememberedListFileNames[i]);
    if (!lines) {
      ShowError(ecOpenForReading);
      break;
    }
    SortIgnoringCase(*lines);
    lists[i] = std::move(*lines);
  }
  return lists;
}

bool SaveRememberedLists(const std::string& folder, TRememberedLists& lists,
                         const std::array<std::string, 5>& texts) {
  for (std::size_t i = 0; i < lists.size(); ++i)
    if (!texts[i].empty() && LacksIgnoringCase(lists[i], texts[i]))
      InsertSortedIgnoringCase(lists[i], texts[i]);
  for (std::size_t i = 0; i < lists.size(); ++i)
    if (!WriteTextList(folder + RememberedListFileNames[i], lists[i]))
      return false;
  return true;
}
