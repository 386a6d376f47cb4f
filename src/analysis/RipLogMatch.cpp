// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogMatch.h"

#include <algorithm>
#include <charconv>

namespace {
std::optional<std::uint32_t> CrcOf(std::string_view hex) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
  return hex.size() == 8 && error == std::errc() && end == hex.data() + hex.size()
             ? std::optional(value)
             : std::nullopt;
}

bool StatesAChecksum(const TRipLogTrack& track) {
  return CrcOf(track.CopyCrc) || CrcOf(track.AccurateRipV1) || CrcOf(track.AccurateRipV2);
}

bool Comparable(const TRipLog& log) {
  return log.IsLog() && !log.Tracks.empty() &&
         std::none_of(log.Deductions.begin(), log.Deductions.end(),
                      [](const TRipLogDeduction& d) { return d.Rule == ERipLogRule::RangeRip; }) &&
         std::all_of(log.Tracks.begin(), log.Tracks.end(), StatesAChecksum);
}

// The places on the disc the log's track may stand at: its first track is the disc's, and its
// last most likely (a data track may follow, or the rip stopped short).
std::vector<EDiscPlace> PlacesOf(const TRipLog& log, std::size_t index) {
  const bool first = log.Tracks[index].Number == 1;
  if (index + 1 < log.Tracks.size())
    return {first ? EDiscPlace::First : EDiscPlace::Middle};
  return first ? std::vector{EDiscPlace::Only, EDiscPlace::First}
               : std::vector{EDiscPlace::Last, EDiscPlace::Middle};
}

bool Matches(const TRipLog& log, std::size_t index, const TRipChecksums& sums) {
  const TRipLogTrack& stated = log.Tracks[index];
  if (const auto crc = CrcOf(stated.CopyCrc)) {
    const bool withNulls = *crc == sums.Crc, withoutNulls = *crc == sums.CrcWithoutNulls;
    if (stated.CrcHasNullSamples ? !(*stated.CrcHasNullSamples ? withNulls : withoutNulls)
                                 : !(withNulls || withoutNulls))
      return false;
  }
  const auto v1 = CrcOf(stated.AccurateRipV1), v2 = CrcOf(stated.AccurateRipV2);
  if (!v1 && !v2)
    return true;
  const std::vector<EDiscPlace> places = PlacesOf(log, index);
  return std::any_of(places.begin(), places.end(), [&](EDiscPlace place) {
    const TAccurateRipSums& computed = sums.At(place);
    return (!v1 || *v1 == computed.V1) && (!v2 || *v2 == computed.V2);
  });
}
} // namespace

TLogMatch MatchLog(const TRipLog& log, const std::vector<const TTrackAnalysis*>& tracks) {
  if (!Comparable(log) || tracks.empty() ||
      std::any_of(tracks.begin(), tracks.end(),
                  [](const TTrackAnalysis* t) { return !t || !t->RipSums; }))
    return {};
  if (log.Tracks.size() != tracks.size())
    return {"the log has " + std::to_string(log.Tracks.size()) + " tracks, the files " +
                std::to_string(tracks.size()),
            true};
  std::vector<std::size_t> differ;
  for (std::size_t i = 0; i < tracks.size(); ++i)
    if (!Matches(log, i, *tracks[i]->RipSums))
      differ.push_back(i + 1);
  if (differ.empty())
    return {tracks.size() == 1
                ? "the log matches its one track"
                : "the log matches all " + std::to_string(tracks.size()) + " tracks"};
  std::string text = differ.size() == 1 ? "track " : "tracks ";
  for (std::size_t i = 0; i < differ.size(); ++i)
    text += (i ? ", " : "") + std::to_string(differ[i]);
  return {text + (differ.size() == 1 ? " does" : " do") + " not match the log", true};
}
