// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogMatch.h"

#include <algorithm>
#include <charconv>

namespace {
bool Comparable(const TRipLog& log) {
  const auto has = [&log](ERipLogRule rule) {
    return std::any_of(log.Deductions.begin(), log.Deductions.end(),
                       [rule](const TRipLogDeduction& d) { return d.Rule == rule; });
  };
  return log.IsLog() && !log.Tracks.empty() && !has(ERipLogRule::RangeRip) &&
         !has(ERipLogRule::NullSamplesLeftOut) &&
         std::all_of(log.Tracks.begin(), log.Tracks.end(),
                     [](const TRipLogTrack& t) { return t.CopyCrc.size() == 8; });
}

std::optional<std::uint32_t> CrcOf(std::string_view hex) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
  return error == std::errc() && end == hex.data() + hex.size() ? std::optional(value)
                                                                : std::nullopt;
}
} // namespace

std::string LogMatchText(const TRipLog& log, const std::vector<const TTrackAnalysis*>& tracks) {
  if (!Comparable(log) || tracks.empty() ||
      std::any_of(tracks.begin(), tracks.end(),
                  [](const TTrackAnalysis* t) { return !t || !t->AudioCrc; }))
    return "";
  if (log.Tracks.size() != tracks.size())
    return "the log has " + std::to_string(log.Tracks.size()) + " tracks, the files " +
           std::to_string(tracks.size());
  std::vector<std::size_t> differ;
  for (std::size_t i = 0; i < tracks.size(); ++i)
    if (CrcOf(log.Tracks[i].CopyCrc) != tracks[i]->AudioCrc)
      differ.push_back(i + 1);
  if (differ.empty())
    return tracks.size() == 1 ? "the log matches its one track"
                              : "the log matches all " + std::to_string(tracks.size()) + " tracks";
  std::string text = differ.size() == 1 ? "track " : "tracks ";
  for (std::size_t i = 0; i < differ.size(); ++i)
    text += (i ? ", " : "") + std::to_string(differ[i]);
  return text + (differ.size() == 1 ? " does" : " do") + " not match the log";
}
