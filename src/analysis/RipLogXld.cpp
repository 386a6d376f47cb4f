// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogChecksums.h"
#include "analysis/RipLogFormats.h"

#include "common/TextUnit.h"

#include <algorithm>

using namespace riplog;

namespace {
struct TXldSettings {
  bool MediaType = false;
  bool ReadMode = false;
};

void ReadXldSetting(TRipLog& log, TRipPractices& practices, TXldSettings& stated,
                    const TField& field) {
  const std::string value = Lower(field.Value);
  if (field.Key == "used drive") {
    log.Drive = Collapse(field.Value, false);
    practices.NullDrive = log.Drive == "(null) (null) (revision (null))";
  } else if (field.Key == "media type") {
    stated.MediaType = true;
  } else if (field.Key == "ripper mode" || field.Key == "use cdparanoia mode") {
    // cdparanoia's modes and XLD's own secure ripper read until the reads agree
    stated.ReadMode = true;
    practices.Secure = value.starts_with("cdparanoia") || value == "xld secure ripper" ||
                       (field.Key == "use cdparanoia mode" && value.starts_with("yes"));
    log.ReadMode = value.find("paranoia") != std::string::npos ? "paranoia"
                   : *practices.Secure                         ? "secure"
                                                               : "burst";
  } else if (field.Key == "disable audio cache") {
    practices.CacheDefeated = value.starts_with("ok") || value.starts_with("yes");
  } else if (field.Key == "make use of c2 pointers") {
    practices.C2Used = YesNo(value);
  } else if (field.Key == "read offset correction") {
    log.ReadOffset = Number(value);
  } else if (field.Key == "gap status") {
    practices.GapsAppended = value.find("not") == std::string::npos &&
                             value.find("analyzed") != std::string::npos &&
                             value.find("appended") != std::string::npos;
  }
}

void ReadXldTrackLine(TRipLogTrack& track, std::string_view line) {
  const TField field = FieldOf(line);
  if (field.Key == "crc32 hash (test run)")
    track.TestCrc = field.Value;
  else if (field.Key == "crc32 hash")
    track.CopyCrc = field.Value;
  else if (field.Key == "accuraterip v1 signature" || field.Key == "accuraterip signature")
    track.AccurateRipV1 = LeadingCrc(field.Value); // as ripped, before any other offset's
  else if (field.Key == "accuraterip v2 signature")
    track.AccurateRipV2 = LeadingCrc(field.Value);
  else if (field.Key == "filename")
    track.FileNamed = IsRipFileName(field.Value);
  else if (line.starts_with("->Accurately ripped"))
    Merge(track, EAccurateRip::Accurate, ConfidenceIn(line));
  else if (line.starts_with("->Rip may not be accurate"))
    Merge(track, EAccurateRip::NotAccurate, 0);
  else if (line.starts_with("->Track not present in AccurateRip database"))
    Merge(track, EAccurateRip::NotPresent, 0);
  else if (field.Key == "list of suspicious positions")
    track.SuspiciousPositions = true;
  else if (field.Key == "read error" || field.Key == "skipped (treated as error)" ||
           field.Key == "inconsistency in error sectors" || field.Key == "damaged sector count")
    track.SectorErrors += std::clamp(Number(field.Value).value_or(0), 0, 10);
}

void Unstated(const TRipLog& log, TRipPractices& practices, const TXldSettings& stated) {
  if (!practices.GapsAppended)
    practices.GapsAppended = false;
  // XLD names the medium from 20130127 on
  NoteUnstated(practices, {
                              {"drive", log.Drive.empty()},
                              {"media type", !stated.MediaType && log.Version >= "20130127"},
                              {"read mode", !stated.ReadMode},
                              {"audio cache", !practices.CacheDefeated},
                              {"C2 pointers", !practices.C2Used},
                              {"read offset", !log.ReadOffset},
                          });
}

TRipPractices Xld(std::string_view text, const std::vector<std::string_view>& lines, TRipLog& log) {
  TRipPractices practices;
  TXldSettings stated;
  log.Ripper = "XLD";
  const std::string_view first = lines.front();
  log.Version = TrimControl(first.substr(first.find("version") + 7));
  TRipLogTrack* track = nullptr;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (const auto number = TrackHeading(line))
      track = StartTrack(log, *number);
    else if (line == "All Tracks" && i + 1 < lines.size() && lines[i + 1].starts_with("Filename"))
      practices.RangeRip = true; // the disc ripped as one file
    else if (track)
      ReadXldTrackLine(*track, line);
    else
      ReadXldSetting(log, practices, stated, FieldOf(line));
  }
  Unstated(log, practices, stated);
  log.Checksum = XldChecksum(text);
  // XLD signs its logs from 20121222 on (the checkers call an older one's signature forged)
  if (log.Checksum == ELogChecksum::Absent && log.Version < "20121222")
    log.Checksum = ELogChecksum::NotUsed;
  return practices;
}
} // namespace

TRipPractices ReadXldLog(std::string_view text, const std::vector<std::string_view>& lines,
                         TRipLog& log) {
  return Xld(text, lines, log);
}
