#include "newsgroups/NewsGroupListUnit.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/TextListUnit.h"
#include "platform/Host.h"

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

void TNewsGroups::LoadFromFile(const std::string& path) {
  auto lines = ReadTextList(path);
  if (!lines) {
    ShowError(ecLoadNewsgroupList);
    return;
  }
  FGroups = SortedGroups(std::move(*lines));
  Modified = false;
}

void TNewsGroups::SaveList() {
  const bool wanted = Modified;
  Modified = false;
  if (wanted && !WriteTextList(GetProgramFolder() + NewsGroupListFileName, FGroups)) {
    Modified = true;
    ShowError(ecSaveNewsgroupList);
  }
}
