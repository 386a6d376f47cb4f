// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogFormats.h"

#include "common/TextUnit.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {
// A log that holds more tracks than this is no disc's (a combined log of several discs
// stays well below it).
constexpr std::size_t MostTracks = 999;
} // namespace

namespace riplog {
std::string Collapse(std::string_view text, bool lower) {
  std::string out;
  bool space = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t') {
      space = true;
      continue;
    }
    if (space && !out.empty())
      out += ' ';
    space = false;
    out += static_cast<char>(lower && c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return out;
}
std::string Lower(std::string_view text) {
  return Collapse(text, true);
}

TField FieldOf(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos)
    return {};
  return {Lower(line.substr(0, colon)), TrimControl(line.substr(colon + 1))};
}

std::optional<int> Number(std::string_view text) {
  text = TrimControl(text);
  if (text.starts_with('+'))
    text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data())
    return std::nullopt;
  return value;
}

int ConfidenceIn(std::string_view line) {
  const std::string lower = Lower(line);
  const std::size_t at = lower.find("confidence ");
  return at == std::string::npos ? 0 : Number(std::string_view(lower).substr(at + 11)).value_or(0);
}

std::optional<bool> YesNo(std::string_view value) {
  const std::string word = Lower(value);
  if (word == "yes" || word == "true" || word == "ok")
    return true;
  if (word == "no" || word == "false")
    return false;
  return std::nullopt;
}

std::optional<int> TrackHeading(std::string_view line) {
  if (!line.starts_with("Track "))
    return std::nullopt;
  const std::string_view rest = TrimControl(line.substr(6));
  if (rest.empty() || rest.size() > 3 ||
      !std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return Number(rest);
}

void Merge(TRipLogTrack& track, EAccurateRip verdict, int confidence) {
  track.AccurateRip = std::max(track.AccurateRip, verdict);
  if (verdict == EAccurateRip::Accurate)
    track.Confidence = std::max(track.Confidence, confidence);
}

std::string LeadingCrc(std::string_view value) {
  value = TrimControl(value);
  const std::string_view crc = value.substr(0, 8);
  const bool hex = crc.size() == 8 && std::all_of(crc.begin(), crc.end(), [](char c) {
                     return std::isxdigit(static_cast<unsigned char>(c));
                   });
  return hex && (value.size() == 8 || value[8] == ' ' || value[8] == ']') ? std::string(crc) : "";
}

void ReadEacAccurateRipSum(TRipLogTrack& track, std::string_view line) {
  const std::size_t open = line.find('[');
  if (open == std::string_view::npos)
    return;
  const std::string crc = LeadingCrc(line.substr(open + 1));
  if (crc.empty())
    return;
  (line.find("(AR v2)") != std::string_view::npos ? track.AccurateRipV2 : track.AccurateRipV1) =
      crc;
}

TRipLogTrack* StartTrack(TRipLog& log, int number) {
  if (log.Tracks.size() >= MostTracks)
    return nullptr;
  TRipLogTrack& track = log.Tracks.emplace_back();
  track.Number = number;
  track.FileNamed = false;
  return &track;
}

void NoteUnstated(TRipPractices& practices,
                  std::initializer_list<std::pair<const char*, bool>> settings) {
  for (const auto& [name, unstated] : settings)
    if (unstated)
      practices.Unstated.emplace_back(name);
}

bool IsRipFileName(std::string_view name) {
  const std::string lower = Lower(TrimControl(name));
  return lower.ends_with(".wav") || lower.ends_with(".flac") || lower.ends_with(".ape");
}
} // namespace riplog

std::vector<std::string_view> LogLinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    lines.push_back(TrimControl(text.substr(0, end)));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}
