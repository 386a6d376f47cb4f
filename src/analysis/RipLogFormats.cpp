// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogFormats.h"

#include "common/TextUnit.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

// SHA256() alone, as Md5Unit takes MD5: statically linked, the EVP layer would bring much more.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace {
// The text with each run of blanks one space; in lower case for a key.
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

// "Label : value" as the rippers align them: the label folded to lower case with single
// spaces, the value trimmed.
struct TField {
  std::string Key;
  std::string_view Value;
};
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

// The number after "confidence " ("confidence 5", "confidence 5/7").
int ConfidenceIn(std::string_view line) {
  const std::size_t at = Lower(line).find("confidence ");
  return at == std::string::npos ? 0 : Number(line.substr(at + 11)).value_or(0);
}

std::optional<bool> YesNo(std::string_view value) {
  const std::string word = Lower(value);
  if (word == "yes" || word == "true" || word == "ok")
    return true;
  if (word == "no" || word == "false")
    return false;
  return std::nullopt;
}

// "Track  3" (EAC), "Track 03" (XLD): the number; nothing for any other line.
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

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    lines.push_back(TrimControl(text.substr(0, end)));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

// A log that holds more tracks than this is no disc's (a combined log of several discs
// stays well below it).
constexpr std::size_t MostTracks = 999;

TRipLogTrack* StartTrack(TRipLog& log, int number) {
  if (log.Tracks.size() >= MostTracks)
    return nullptr;
  TRipLogTrack& track = log.Tracks.emplace_back();
  track.Number = number;
  return &track;
}

void ReadEacTrackLine(TRipLogTrack& track, std::string_view line) {
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
  else if (line.starts_with("Suspicious position") || line.starts_with("Timing problem") ||
           line.starts_with("Missing samples"))
    track.ReadErrors = true;
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
    if (value.find(" with ") != std::string::npos) {
      practices.C2Used = value.find("no c2") == std::string::npos;
      practices.AccurateStream = value.find("accurate stream") != std::string::npos;
      practices.CacheDefeated = value.find("disable cache") != std::string::npos;
    }
  } else if (key == "utilize accurate stream") {
    practices.AccurateStream = YesNo(value);
  } else if (key == "defeat audio cache") {
    practices.CacheDefeated = YesNo(value);
  } else if (key == "make use of c2 pointers") {
    practices.C2Used = YesNo(value);
  } else if (key == "read offset correction") {
    log.ReadOffset = Number(value);
  } else if (key == "fill up missing offset samples with silence") {
    practices.OffsetFilled = YesNo(value);
  } else if (key == "delete leading and trailing silent blocks") {
    practices.SilenceDeleted = YesNo(value);
  } else if (key == "null samples used in crc calculations") {
    practices.NullSamples = YesNo(value);
  } else if (key == "gap handling") {
    practices.GapsAppended = value.starts_with("appended");
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
}

TRipPractices Eac(const std::vector<std::string_view>& lines, TRipLog& log) {
  TRipPractices practices;
  log.Ripper = "EAC";
  log.Version = EacVersion(lines.front());
  practices.ChecksumWritten = !log.Version.starts_with("V0");
  practices.GapsAppended = false; // EAC writes its gap handling only when it detected gaps
  log.SettingsRead = std::any_of(lines.begin(), lines.end(), [](std::string_view line) {
    return line.starts_with("EAC extraction logfile");
  });
  TRipLogTrack* track = nullptr;
  for (const std::string_view line : lines) {
    if (const auto number = TrackHeading(line)) {
      track = StartTrack(log, *number);
    } else if (line.starts_with("Range status and errors")) {
      practices.RangeRip = true;
      track = StartTrack(log, 0);
    } else if (line.starts_with("==== ") && line.ends_with(" ====")) { // in any language
      log.Checksum = ELogChecksum::Unverifiable;
    } else if (line == "End of status report") {
      practices.Complete = true;
    } else if (track) {
      ReadEacTrackLine(*track, line);
    } else {
      ReadEacSetting(log, practices, FieldOf(line));
    }
  }
  if (!log.SettingsRead) {
    log.Tracks.clear();
    ReadEacTracksByShape(lines, log);
  }
  return practices;
}

void ReadXldSetting(TRipLog& log, TRipPractices& practices, const TField& field) {
  const std::string value = Lower(field.Value);
  if (field.Key == "used drive") {
    log.Drive = Collapse(field.Value, false);
  } else if (field.Key == "ripper mode") {
    practices.Secure = value.find("burst") == std::string::npos;
    log.ReadMode = value.find("paranoia") != std::string::npos ? "paranoia"
                   : *practices.Secure                         ? "secure"
                                                               : "burst";
  } else if (field.Key == "disable audio cache") {
    practices.CacheDefeated = YesNo(value);
  } else if (field.Key == "make use of c2 pointers") {
    practices.C2Used = YesNo(value);
  } else if (field.Key == "read offset correction") {
    log.ReadOffset = Number(value);
  } else if (field.Key == "gap status") {
    practices.GapsAppended =
        value.starts_with("analyzed") && value.find("appended") != std::string::npos;
  }
}

void ReadXldTrackLine(TRipLogTrack& track, std::string_view line) {
  const TField field = FieldOf(line);
  if (field.Key == "crc32 hash (test run)")
    track.TestCrc = field.Value;
  else if (field.Key == "crc32 hash")
    track.CopyCrc = field.Value;
  else if (line.starts_with("->Accurately ripped"))
    Merge(track, EAccurateRip::Accurate, ConfidenceIn(line));
  else if (line.starts_with("->Rip may not be accurate"))
    Merge(track, EAccurateRip::NotAccurate, 0);
  else if (line.starts_with("->Track not present in AccurateRip database"))
    Merge(track, EAccurateRip::NotPresent, 0);
  else if ((field.Key == "read error" || field.Key == "skipped (treated as error)" ||
            field.Key == "inconsistency in error sectors" || field.Key == "damaged sector count") &&
           Number(field.Value).value_or(0) > 0)
    track.ReadErrors = true;
}

TRipPractices Xld(const std::vector<std::string_view>& lines, TRipLog& log) {
  TRipPractices practices;
  practices.ChecksumWritten = true;
  log.Ripper = "XLD";
  const std::string_view first = lines.front();
  log.Version = TrimControl(first.substr(first.find("version") + 7));
  TRipLogTrack* track = nullptr;
  for (const std::string_view line : lines) {
    if (const auto number = TrackHeading(line))
      track = StartTrack(log, *number);
    else if (line.starts_with("-----BEGIN XLD SIGNATURE-----"))
      log.Checksum = ELogChecksum::Unverifiable;
    else if (line == "End of status report")
      practices.Complete = true;
    else if (track)
      ReadXldTrackLine(*track, line);
    else
      ReadXldSetting(log, practices, FieldOf(line));
  }
  return practices;
}

std::string UpperHex(std::span<const unsigned char> bytes) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char byte : bytes)
    hex += {Digits[byte >> 4], Digits[byte & 15]};
  return hex;
}

// whipper's hash is SHA-256 over the log's text before its own line.
ELogChecksum WhipperChecksum(std::string_view text) {
  const std::size_t at = text.rfind("\nSHA-256 hash:");
  if (at == std::string_view::npos)
    return ELogChecksum::Absent;
  const std::string_view said =
      TrimControl(text.substr(at + 14, text.find('\n', at + 1) - at - 14));
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), at + 1, digest.data());
  return Lower(UpperHex(digest)) == Lower(said) ? ELogChecksum::Verified : ELogChecksum::Mismatch;
}

void ReadWhipperLine(TRipLog& log, TRipPractices& practices, const TField& field) {
  const std::string value = Lower(field.Value);
  if (field.Key == "drive")
    log.Drive = Collapse(field.Value, false);
  else if (field.Key == "defeat audio cache")
    practices.CacheDefeated = YesNo(value);
  else if (field.Key == "read offset correction")
    log.ReadOffset = Number(value);
  else if (field.Key == "gap detection")
    practices.GapsAppended = true;
  else if (field.Key == "eof")
    practices.Complete = value == "end of status report";
}

TRipPractices Whipper(std::string_view text, const std::vector<std::string_view>& lines,
                      TRipLog& log) {
  TRipPractices practices;
  // cdparanoia reads every sector until it agrees
  practices.ChecksumWritten = true;
  practices.Secure = true;
  log.Ripper = "whipper";
  log.ReadMode = "paranoia";
  const std::string_view first = lines.front().substr(lines.front().find("whipper") + 7);
  log.Version = TrimControl(first.substr(0, first.find('(')));
  bool inTracks = false, lastAccurate = false;
  TRipLogTrack* track = nullptr;
  for (const std::string_view line : lines) {
    const TField field = FieldOf(line);
    if (line == "Tracks:")
      inTracks = true;
    else if (line == "Conclusive status report:")
      inTracks = false, track = nullptr;
    else if (inTracks && field.Value.empty() && !field.Key.empty() && Number(field.Key))
      track = StartTrack(log, *Number(field.Key));
    if (track && field.Key == "test crc")
      track->TestCrc = field.Value;
    else if (track && field.Key == "copy crc")
      track->CopyCrc = field.Value;
    else if (track && field.Key == "result")
      lastAccurate = field.Value.starts_with("Found, exact match"),
      Merge(*track,
            lastAccurate                       ? EAccurateRip::Accurate
            : field.Value.starts_with("Found") ? EAccurateRip::NotAccurate
                                               : EAccurateRip::NotPresent,
            0);
    else if (track && field.Key == "confidence" && lastAccurate)
      Merge(*track, EAccurateRip::Accurate, Number(field.Value).value_or(0));
    else if (!track)
      ReadWhipperLine(log, practices, field);
  }
  log.Checksum = WhipperChecksum(text);
  return practices;
}

} // namespace

std::vector<std::string_view> LogLinesOf(std::string_view text) {
  return Lines(text);
}
std::string LogKey(std::string_view text) {
  return Lower(text);
}
TRipPractices ReadEacLog(const std::vector<std::string_view>& lines, TRipLog& log) {
  return Eac(lines, log);
}
TRipPractices ReadXldLog(const std::vector<std::string_view>& lines, TRipLog& log) {
  return Xld(lines, log);
}
TRipPractices ReadWhipperLog(std::string_view text, const std::vector<std::string_view>& lines,
                             TRipLog& log) {
  return Whipper(text, lines, log);
}
