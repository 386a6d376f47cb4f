// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TrackKinds.h"

#include "common/TextUnit.h"

#include <algorithm>

const TTrackKindRow& TrackKindRow(TTrackKind kind) {
  return *std::find_if(TrackKinds.begin(), TrackKinds.end(),
                       [kind](const TTrackKindRow& row) { return row.Kind == kind; });
}

std::optional<TTrackKind> TrackKindOfName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.size() - dot > 8)
    return std::nullopt;
  const std::string extension = FoldCase(name.substr(dot));
  for (const TTrackKindRow& row : TrackKinds)
    for (std::string_view known : row.Extensions)
      if (!known.empty() && extension == known)
        return row.Kind;
  return std::nullopt;
}

bool IsMp3Format(std::string_view format) {
  return format.empty() || format == TrackKindRow(TTrackKind::MP3).Format;
}

std::string TrackKindList() {
  std::string list;
  for (const TTrackKindRow& row : TrackKinds)
    list.append(list.empty() ? "" : ", ").append(row.Format);
  return list;
}

namespace {
// "*.mp3", "*.ogg *.oga": a row's patterns for a dialog.
std::string Patterns(const TTrackKindRow& row) {
  std::string patterns;
  for (std::string_view extension : row.Extensions)
    if (!extension.empty())
      patterns.append(patterns.empty() ? "*" : " *").append(extension);
  return patterns;
}
} // namespace

std::vector<TFileFilter> TrackFileFilters() {
  std::vector<TFileFilter> filters = {{"Audio files", ""}};
  for (const TTrackKindRow& row : TrackKinds) {
    filters.front().Pattern += (filters.size() > 1 ? " " : "") + Patterns(row);
    filters.push_back({std::string(row.FilterName), Patterns(row)});
  }
  filters.push_back({"All Files (*.*)", "*"});
  return filters;
}
