// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogFormats.h"

#include "common/TextUnit.h"

using namespace riplog;

namespace {
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
} // namespace

TRipPractices ReadXldLog(const std::vector<std::string_view>& lines, TRipLog& log) {
  return Xld(lines, log);
}
