// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogFormats.h"

#include "common/TextUnit.h"

#include <array>
#include <span>

// SHA256() alone, as Md5Unit takes MD5: statically linked, the EVP layer would bring much more.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

using namespace riplog;

namespace {
std::string UpperHex(std::span<const unsigned char> bytes) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string hex;
  for (const unsigned char byte : bytes)
    hex += {Digits[byte >> 4], Digits[byte & 15]};
  return hex;
}

// whipper's hash is SHA-256 over the log's text before the line break that precedes its
// own line (whipper appends "\nSHA-256 hash: ..." to the text it hashed).
ELogChecksum WhipperChecksum(std::string_view text) {
  const std::size_t at = text.rfind("\nSHA-256 hash:");
  if (at == std::string_view::npos)
    return ELogChecksum::Absent;
  const std::string_view said =
      TrimControl(text.substr(at + 14, text.find('\n', at + 1) - at - 14));
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), at, digest.data());
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
}

TRipPractices Whipper(std::string_view text, const std::vector<std::string_view>& lines,
                      TRipLog& log) {
  TRipPractices practices;
  // cdparanoia reads every sector until it agrees
  practices.Secure = true;
  log.Ripper = "whipper";
  log.ReadMode = "paranoia";
  const std::string_view first = lines.front().substr(lines.front().find("whipper") + 7);
  log.Version = TrimControl(first.substr(0, first.find('(')));
  bool inTracks = false, lastAccurate = false;
  TRipLogTrack* track = nullptr;
  std::string* localSum = nullptr; // the AccurateRip version's "Local CRC" being read
  for (const std::string_view line : lines) {
    const TField field = FieldOf(line);
    if (line == "Tracks:")
      inTracks = true;
    else if (line == "Conclusive status report:")
      inTracks = false, track = nullptr;
    else if (inTracks && field.Value.empty() && !field.Key.empty() && Number(field.Key)) {
      track = StartTrack(log, *Number(field.Key));
      localSum = nullptr;
      if (track) // the checkers judge whipper's tracks by their CRCs alone
        track->FileNamed = true;
    }
    if (track && field.Key == "test crc")
      track->TestCrc = field.Value;
    else if (track && field.Key == "copy crc")
      track->CopyCrc = field.Value;
    else if (track && (field.Key == "accuraterip v1" || field.Key == "accuraterip v2"))
      localSum = field.Key.back() == '1' ? &track->AccurateRipV1 : &track->AccurateRipV2;
    else if (track && localSum && field.Key == "local crc")
      *localSum = LeadingCrc(field.Value);
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

TRipPractices ReadWhipperLog(std::string_view text, const std::vector<std::string_view>& lines,
                             TRipLog& log) {
  return Whipper(text, lines, log);
}
