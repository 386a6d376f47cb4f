// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogChecksums.h"
#include "analysis/RipLogEacLanguages.h"
#include "analysis/RipLogFormats.h"

#include "common/TextUnit.h"

#include <algorithm>
#include <cctype>

using namespace riplog;

namespace {
void ReadEacTrackLine(TRipLogTrack& track, std::string_view line) {
  if (line.starts_with("Accurately ripped") || line.starts_with("Cannot be verified as accurate"))
    ReadEacAccurateRipSum(track, line);
  if (line.starts_with("Test CRC "))
    track.TestCrc = TrimControl(line.substr(9));
  else if (line.starts_with("Copy CRC "))
    track.CopyCrc = TrimControl(line.substr(9));
  else if (line.starts_with("Accurately ripped"))
    Merge(track, EAccurateRip::Accurate, ConfidenceIn(line));
  else if (line.starts_with("Cannot be verified as accurate"))
    Merge(track, EAccurateRip::NotAccurate, 0);
  else if (line.starts_with("Track not present in AccurateRip database"))
    Merge(track, EAccurateRip::NotPresent, 0);
  else if (line.starts_with("Suspicious position"))
    track.SuspiciousPositions = true;
  else if (line.starts_with("Timing problem"))
    track.TimingProblems = true;
  else if (line.starts_with("Missing samples"))
    track.MissingSamples = true;
  else if (line.starts_with("File write error"))
    track.WriteError = true;
  else if (line.starts_with("Copy aborted"))
    track.Aborted = true;
  else if (line.starts_with("Filename "))
    // EAC cuts a name at 243 characters, its extension with it
    track.FileNamed = IsRipFileName(line) || line.size() >= 9 + 243;
}

void ReadEacSetting(TRipLog& log, TRipPractices& practices, const TField& field) {
  const std::string& key = field.Key;
  const std::string value = Lower(field.Value);
  if (key == "used drive") {
    log.Drive = Collapse(field.Value.substr(0, field.Value.find("Adapter:")), false);
  } else if (key == "read mode") {
    // "Secure", or 0.99's "Secure with NO C2, accurate stream, disable cache".
    log.ReadMode = value.substr(0, value.find(' '));
    practices.Secure = log.ReadMode == "secure";
    practices.InsecureModeNamed = !*practices.Secure;
    if (value.find(" with ") != std::string::npos) {
      // each setting stated only where its words are, "NO" before them saying it was off
      const auto said = [&value](std::string_view words) -> std::optional<bool> {
        const std::size_t at = value.find(words);
        if (at == std::string::npos)
          return std::nullopt;
        return !(at >= 3 && value.compare(at - 3, 3, "no ") == 0);
      };
      practices.C2Used = said("c2");
      practices.AccurateStream = said("accurate stream");
      practices.CacheDefeated = said("disable cache");
    }
  } else if (key == "utilize accurate stream") {
    practices.AccurateStream = YesNo(value);
  } else if (key == "defeat audio cache") {
    practices.CacheDefeated = YesNo(value);
  } else if (key == "make use of c2 pointers") {
    practices.C2Used = YesNo(value);
  } else if (key == "read offset correction") {
    log.ReadOffset = Number(value);
  } else if (key == "combined read/write offset correction") {
    practices.CombinedOffset = true;
  } else if (key == "fill up missing offset samples with silence") {
    practices.OffsetFilled = YesNo(value);
  } else if (key == "delete leading and trailing silent blocks") {
    practices.SilenceDeleted = YesNo(value);
  } else if (key == "null samples used in crc calculations") {
    practices.NullSamples = YesNo(value);
  } else if (key == "gap handling") {
    practices.GapsAppended = value.find("not detected") == std::string::npos &&
                             value.find("next track") == std::string::npos &&
                             value.find("left out") == std::string::npos;
  } else if (key == "add id3 tag") {
    practices.Id3 = YesNo(value);
  } else if (key == "normalize to") {
    practices.Normalized = YesNo(value) != false;
  }
}

// "V1.6", "V1.0 beta 3": the words after the name up to the date's.
std::string EacVersion(std::string_view line) {
  std::string version;
  for (std::string_view rest = line.substr(17); !(rest = TrimControl(rest)).empty();) {
    const std::string_view word = rest.substr(0, std::min(rest.find(' '), rest.size()));
    const bool part = word.starts_with('V') || word == "beta" || word == "prebeta" ||
                      (word.front() >= '0' && word.front() <= '9');
    if (!part)
      break;
    version += (version.empty() ? "" : " ") + std::string(word);
    rest.remove_prefix(word.size());
  }
  return version;
}

// The words of an EAC log in another language are its own, but the shape of its track
// blocks is not: a heading of one word and the track's number ("Piste  3"), the CRCs as
// the last word of their lines (test before copy), and AccurateRip's verdicts with the
// track's checksum in brackets before "(AR v2)" (one bracket when it matched, a second
// with the database's when not; the confidence the first number in parentheses).
std::optional<std::pair<std::string_view, int>> ShapeOfHeading(std::string_view line) {
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos || line.find_first_of(":|%[(") != std::string_view::npos)
    return std::nullopt;
  const std::string_view rest = TrimControl(line.substr(space));
  if (rest.empty() || rest.size() > 2 ||
      !std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::pair(line.substr(0, space), *Number(rest));
}

bool IsCrc(std::string_view word) {
  return word.size() == 8 && std::all_of(word.begin(), word.end(), [](char c) {
           return std::isxdigit(static_cast<unsigned char>(c));
         });
}

void ReadTrackLineByShape(TRipLogTrack& track, std::vector<std::string>& crcs,
                          std::string_view line) {
  if (line.find("(AR v") != std::string_view::npos && line.find('[') != std::string_view::npos) {
    const bool matched = std::count(line.begin(), line.end(), '[') == 1;
    const std::size_t open = line.find('(');
    const std::size_t digit = line.find_first_of("0123456789", open);
    Merge(track, matched ? EAccurateRip::Accurate : EAccurateRip::NotAccurate,
          digit < line.find(')', open) ? Number(line.substr(digit)).value_or(0) : 0);
    ReadEacAccurateRipSum(track, line);
    return;
  }
  const std::string_view last = line.substr(std::min(line.rfind(' ') + 1, line.size()));
  if (line.find(' ') != std::string_view::npos && IsCrc(last))
    crcs.emplace_back(last);
}

void ReadEacTracksByShape(const std::vector<std::string_view>& lines, TRipLog& log) {
  std::optional<std::string_view> heading;
  TRipLogTrack* track = nullptr;
  std::vector<std::string> crcs;
  const auto finish = [&] {
    if (track && !crcs.empty()) {
      track->CopyCrc = crcs.back();
      if (crcs.size() > 1)
        track->TestCrc = crcs.front();
    }
    crcs.clear();
  };
  for (const std::string_view line : lines) {
    const auto shape = ShapeOfHeading(line);
    if (shape && (heading ? shape->first == *heading : shape->second == 1)) {
      finish();
      heading = shape->first;
      track = StartTrack(log, shape->second);
    } else if (track && !line.starts_with(*heading)) { // not the summary's line a track
      ReadTrackLineByShape(*track, crcs, line);
    }
  }
  finish();
  if (log.Tracks.empty()) // a disc ripped as one file: its AccurateRip summary names the tracks
    for (const std::string_view line : lines)
      if (const std::size_t colon = line.find(" : ");
          colon != std::string_view::npos && line.find("(AR v") != std::string_view::npos)
        if (const auto number = Number(line.substr(std::min(line.find(' '), colon))))
          if (TRipLogTrack* summary = StartTrack(log, *number))
            ReadTrackLineByShape(*summary, crcs, line.substr(colon));
}

// What the checkers count against a log that does not state it: the accurate stream and
// gap handling with their own points, the other settings a point each.
void Unstated(const TRipLog& log, TRipPractices& practices) {
  const bool secure = !practices.InsecureModeNamed;
  if (secure && !practices.AccurateStream)
    practices.AccurateStream = false;
  if (!practices.GapsAppended)
    practices.GapsAppended = false;
  NoteUnstated(practices, {
                              {"drive", log.Drive.empty()},
                              {"read mode", !practices.Secure},
                              {"audio cache", secure && !practices.CacheDefeated},
                              {"C2 pointers", secure && !practices.C2Used},
                              {"read offset", !log.ReadOffset},
                              {"filling of missing offset samples", !practices.OffsetFilled},
                              {"deletion of silent blocks", !practices.SilenceDeleted},
                          });
}

// A disc ripped as one file names its tracks only in the AccurateRip summary:
// "Track  3  accurately ripped (confidence 7)  [9AB22E64]  (AR v2)".
void ReadRangeSummary(const std::vector<std::string_view>& lines, TRipLog& log) {
  for (const std::string_view line : lines) {
    if (!line.starts_with("Track "))
      continue;
    const std::string_view rest = TrimControl(line.substr(6));
    const std::size_t end = std::min(rest.find(' '), rest.size());
    const auto number = Number(rest.substr(0, end));
    const std::string_view verdict = TrimControl(rest.substr(end));
    const bool accurate = verdict.starts_with("accurately ripped");
    const bool notAccurate = verdict.starts_with("cannot be verified as accurate");
    const bool absent = verdict.starts_with("not present in AccurateRip database");
    if (!number || *number < 1 || !(accurate || notAccurate || absent))
      continue;
    if (log.RangeSummary.size() >= 99) // a CD holds 99 tracks
      return;
    TRipLogTrack* track = &log.RangeSummary.emplace_back();
    track->Number = *number;
    Merge(*track,
          accurate      ? EAccurateRip::Accurate
          : notAccurate ? EAccurateRip::NotAccurate
                        : EAccurateRip::NotPresent,
          accurate ? ConfidenceIn(verdict) : 0);
    ReadEacAccurateRipSum(*track, verdict);
  }
}

// The checksum verdict: EAC writes one from V1.0 beta 1 on.
ELogChecksum EacChecksumVerdict(std::string_view text, const TRipLog& log) {
  const ELogChecksum checksum = EacChecksum(text);
  const bool writes = !log.Version.empty() && !log.Version.starts_with("V0");
  return checksum == ELogChecksum::Absent && !writes ? ELogChecksum::NotUsed : checksum;
}

// "V0.95 beta 4": before 0.99, whose logs lack most settings.
bool BeforeV099(std::string_view version) {
  if (version.empty())
    return true;
  const std::string number(version.substr(1, version.find(' ') - 1));
  return number.starts_with("0.") && (number.size() < 4 || number.compare(0, 4, "0.99") < 0);
}

TRipPractices Eac(std::string_view text, const std::vector<std::string_view>& written,
                  TRipLog& log) {
  // A log in another language is read in English; its checksum is over the text as written.
  const std::optional<TEacLogInEnglish> english = EacLogInEnglish(written);
  const std::vector<std::string_view> lines =
      english ? std::vector<std::string_view>(english->Lines.begin(), english->Lines.end())
              : written;
  TRipPractices practices;
  log.Ripper = "EAC";
  if (lines.front().starts_with("Exact Audio Copy V"))
    log.Version = EacVersion(lines.front());
  practices.OldEac = BeforeV099(log.Version);
  log.SettingsRead = english || std::any_of(lines.begin(), lines.end(), [](std::string_view line) {
                       return line.starts_with("EAC extraction logfile");
                     });
  TRipLogTrack* track = nullptr;
  for (const std::string_view line : lines) {
    if (const auto number = TrackHeading(line)) {
      track = StartTrack(log, *number);
    } else if (line.starts_with("Range status and errors") || line.starts_with("Selected range")) {
      practices.RangeRip = true;
      if (log.Tracks.empty())
        track = StartTrack(log, 0);
    } else if (track) {
      ReadEacTrackLine(*track, line);
    } else {
      ReadEacSetting(log, practices, FieldOf(line));
    }
  }
  if (!log.SettingsRead) {
    log.Tracks.clear();
    ReadEacTracksByShape(lines, log);
  } else if (practices.RangeRip && log.Tracks.size() == 1 &&
             log.Tracks.front().AccurateRip == EAccurateRip::Unknown) {
    ReadRangeSummary(lines, log);
  }
  Unstated(log, practices);
  log.Checksum = EacChecksumVerdict(text, log);
  return practices;
}
} // namespace

TRipPractices ReadEacLog(std::string_view text, const std::vector<std::string_view>& lines,
                         TRipLog& log) {
  return Eac(text, lines, log);
}
