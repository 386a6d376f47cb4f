// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLog.h"

#include "analysis/RipLogFormats.h"
#include "analysis/RipLogText.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <array>

namespace {
// The deductions of the most used open log checker, with its points.
constexpr auto Rules = std::to_array<TRipLogRuleText>({
    {ERipLogRule::NoTracks, "no tracks", 100, false},
    {ERipLogRule::OldEac, "EAC older than 0.99", 30, false},
    {ERipLogRule::Normalized, "audio normalized", 100, false},
    {ERipLogRule::CopyAborted, "copy aborted", 100, true},
    {ERipLogRule::RangeRip, "range rip", 30, false},
    {ERipLogRule::CrcMismatch, "CRC mismatch", 30, true},
    {ERipLogRule::SuspiciousPositions, "suspicious positions", 20, true},
    {ERipLogRule::TimingProblems, "timing problems", 20, true},
    {ERipLogRule::MissingSamples, "missing samples", 20, true},
    {ERipLogRule::WriteErrors, "file write errors", 20, true},
    {ERipLogRule::SectorErrors, "read, skipped or damaged sectors (a point each, 10 at most)", 1,
     true},
    {ERipLogRule::NotSecure, "not ripped in secure mode", 20, false},
    {ERipLogRule::NoAccurateStream, "accurate stream not used (or not stated)", 20, false},
    {ERipLogRule::VirtualDrive, "a virtual drive", 20, false},
    {ERipLogRule::NullDrive, "a \"(null)\" drive", 20, false},
    {ERipLogRule::NotSecureNoTestAndCopy, "neither secure mode nor test and copy", 40, false},
    {ERipLogRule::CacheNotDefeated, "audio cache not defeated", 10, false},
    {ERipLogRule::C2Used, "C2 pointers used", 10, false},
    {ERipLogRule::NoTestAndCopy, "test and copy not used", 10, false},
    {ERipLogRule::GapsNotAppended, "gaps not detected and appended (or not stated)", 10, false},
    {ERipLogRule::SilenceDeleted, "leading and trailing silence deleted", 5, false},
    {ERipLogRule::OffsetNotFilled, "missing offset samples not filled with silence", 5, false},
    {ERipLogRule::NullSamplesLeftOut, "null samples left out of the CRCs", 5, false},
    {ERipLogRule::CombinedOffset, "a combined read/write offset", 4, false},
    {ERipLogRule::Unstated, "settings not stated", 1, false},
    {ERipLogRule::FileNames, "no .wav, .flac or .ape file", 1, true},
    {ERipLogRule::Id3Tags, "ID3 tags added", 1, false},
});
static_assert(Rules.size() == static_cast<std::size_t>(ERipLogRule::Count));

// The names the checkers know for drives that read an image, not a disc.
constexpr std::array<std::string_view, 2> VirtualDrives = {"generic dvd-rom",
                                                           "generic dvd-rom scsi cdrom device"};

// A deduction, with what it counts ("on tracks 2, 5"; "drive, read offset") and its points
// for each of them.
void Deduct(TRipLog& log, ERipLogRule rule, const std::vector<std::string>& counted = {},
            int units = 1) {
  const TRipLogRuleText& text = Rules[static_cast<std::size_t>(rule)];
  TRipLogDeduction deduction{.Rule = rule, .Text = text.Text, .Points = text.Points * units};
  if (!counted.empty()) {
    deduction.Text += text.PerTrack ? (counted.size() == 1 ? " on track " : " on tracks ") : ": ";
    for (std::size_t i = 0; i < counted.size(); ++i)
      deduction.Text += (i ? ", " : "") + counted[i];
  }
  log.Deductions.push_back(std::move(deduction));
}

// The per-track rules: the tracks each holds for, weighted.
void DeductTracks(TRipLog& log, ERipLogRule rule, int (*weight)(const TRipLogTrack&)) {
  std::vector<std::string> numbers;
  int units = 0;
  for (const TRipLogTrack& track : log.Tracks)
    if (const int w = weight(track); w > 0) {
      numbers.push_back(std::to_string(track.Number));
      units += w;
    }
  if (units)
    Deduct(log, rule, numbers, units);
}

bool CrcsDiffer(const TRipLogTrack& t) {
  return !t.TestCrc.empty() && !t.CopyCrc.empty() &&
         riplog::Lower(t.TestCrc) != riplog::Lower(t.CopyCrc);
}

void ScoreTracks(TRipLog& log, const TRipPractices& practices) {
  DeductTracks(log, ERipLogRule::CopyAborted, [](const TRipLogTrack& t) { return +t.Aborted; });
  DeductTracks(log, ERipLogRule::CrcMismatch, [](const TRipLogTrack& t) { return +CrcsDiffer(t); });
  DeductTracks(log, ERipLogRule::SuspiciousPositions,
               [](const TRipLogTrack& t) { return +t.SuspiciousPositions; });
  DeductTracks(log, ERipLogRule::TimingProblems,
               [](const TRipLogTrack& t) { return +t.TimingProblems; });
  DeductTracks(log, ERipLogRule::MissingSamples,
               [](const TRipLogTrack& t) { return +t.MissingSamples; });
  DeductTracks(log, ERipLogRule::WriteErrors, [](const TRipLogTrack& t) { return +t.WriteError; });
  DeductTracks(log, ERipLogRule::SectorErrors,
               [](const TRipLogTrack& t) { return t.SectorErrors; });
  if (!practices.RangeRip)
    DeductTracks(log, ERipLogRule::FileNames, [](const TRipLogTrack& t) { return +!t.FileNamed; });
  const bool untested = std::any_of(log.Tracks.begin(), log.Tracks.end(), [](const auto& t) {
    return !t.Aborted && (t.TestCrc.empty() || t.CopyCrc.empty());
  });
  if (untested)
    Deduct(log, ERipLogRule::NoTestAndCopy);
  if (untested && practices.Secure == false)
    Deduct(log, ERipLogRule::NotSecureNoTestAndCopy);
}

void DeductSettings(TRipLog& log, const TRipPractices& practices) {
  const auto is = [](const std::optional<bool>& said, bool value) {
    return said == value;
  };
  const std::string drive = riplog::Lower(log.Drive);
  const std::pair<ERipLogRule, bool> settings[] = {
      {ERipLogRule::OldEac, practices.OldEac},
      {ERipLogRule::Normalized, is(practices.Normalized, true)},
      {ERipLogRule::RangeRip, practices.RangeRip},
      {ERipLogRule::NotSecure, practices.InsecureModeNamed},
      {ERipLogRule::NoAccurateStream, is(practices.AccurateStream, false)},
      {ERipLogRule::VirtualDrive,
       std::find(VirtualDrives.begin(), VirtualDrives.end(), drive) != VirtualDrives.end()},
      {ERipLogRule::NullDrive, practices.NullDrive},
      {ERipLogRule::CacheNotDefeated, is(practices.CacheDefeated, false)},
      {ERipLogRule::C2Used, is(practices.C2Used, true)},
      {ERipLogRule::GapsNotAppended, is(practices.GapsAppended, false)},
      {ERipLogRule::SilenceDeleted, is(practices.SilenceDeleted, true)},
      {ERipLogRule::OffsetNotFilled, is(practices.OffsetFilled, false)},
      {ERipLogRule::NullSamplesLeftOut, is(practices.NullSamples, false)},
      {ERipLogRule::CombinedOffset, practices.CombinedOffset},
      {ERipLogRule::Id3Tags, is(practices.Id3, true)},
  };
  for (const auto& [rule, applies] : settings)
    if (applies)
      Deduct(log, rule);
  if (!practices.Unstated.empty())
    Deduct(log, ERipLogRule::Unstated, practices.Unstated,
           static_cast<int>(practices.Unstated.size()));
}

void Total(TRipLog& log) {
  int points = 0;
  for (const TRipLogDeduction& deduction : log.Deductions)
    points += deduction.Points;
  log.Score = 100 - points;
}

// An EAC log in another language, or one whose English header was cut: its drive line
// keeps EAC's "Adapter:" and "ID:" in every language.
bool LooksLikeEac(const std::vector<std::string_view>& lines) {
  return std::any_of(lines.begin(), lines.begin() + std::min<std::size_t>(lines.size(), 40),
                     [](std::string_view line) {
                       const std::size_t adapter = line.find("  Adapter: ");
                       return adapter != std::string_view::npos &&
                              line.find("  ID: ", adapter) != std::string_view::npos;
                     });
}

struct TRip {
  TRipLog Log;
  TRipPractices Practices;
};

TRip ReadRip(std::string_view text) {
  const std::vector<std::string_view> lines = LogLinesOf(text);
  TRip rip;
  TRipLog& log = rip.Log;
  const std::string_view head = lines.empty() ? std::string_view() : lines.front();
  TRipPractices practices;
  if (head.starts_with("Exact Audio Copy V") || head.starts_with("EAC extraction logfile"))
    practices = ReadEacLog(text, lines, log);
  else if (head.starts_with("X Lossless Decoder version"))
    practices = ReadXldLog(text, lines, log);
  else if (head.starts_with("Log created by: whipper"))
    practices = ReadWhipperLog(text, lines, log);
  else if (LooksLikeEac(lines))
    practices = ReadEacLog(text, lines, log);
  else
    log.Problem = "not a rip log of EAC, XLD or whipper";
  // XLD and whipper count every sample in their CRCs; EAC as its log says
  const std::optional<bool> nulls = log.Ripper == "EAC" ? practices.NullSamples : true;
  for (TRipLogTrack& track : log.Tracks)
    track.CrcHasNullSamples = nulls;
  rip.Practices = std::move(practices);
  return rip;
}

// Of the verdicts of a combined log's rips, the one to tell.
int Worse(ELogChecksum checksum) {
  constexpr std::array<ELogChecksum, 4> Order = {ELogChecksum::Verified, ELogChecksum::NotUsed,
                                                 ELogChecksum::Absent, ELogChecksum::Mismatch};
  return static_cast<int>(std::find(Order.begin(), Order.end(), checksum) - Order.begin());
}

// The rips of a log as the checkers count them: each setting's deduction once, a track
// ripped again as its last rip (a copy aborted and then ripped anew counts as the new one),
// the worst checksum verdict. The drive and settings shown are the last rip's.
TRipLog CombinedLog(std::vector<TRip>& rips) {
  TRipLog log = rips.back().Log;
  log.Rips = static_cast<int>(rips.size());
  log.Tracks.clear();
  for (TRip& rip : rips) {
    log.SettingsRead = log.SettingsRead && rip.Log.SettingsRead;
    if (Worse(rip.Log.Checksum) > Worse(log.Checksum))
      log.Checksum = rip.Log.Checksum;
    if (rip.Log.SettingsRead)
      DeductSettings(rip.Log, rip.Practices);
    for (TRipLogDeduction& deduction : rip.Log.Deductions)
      if (std::none_of(log.Deductions.begin(), log.Deductions.end(),
                       [&](const TRipLogDeduction& d) { return d.Rule == deduction.Rule; }))
        log.Deductions.push_back(std::move(deduction));
    for (TRipLogTrack& track : rip.Log.Tracks) {
      const auto same =
          std::find_if(log.Tracks.begin(), log.Tracks.end(),
                       [&](const TRipLogTrack& t) { return t.Number == track.Number; });
      if (same == log.Tracks.end())
        log.Tracks.push_back(std::move(track));
      else
        *same = std::move(track);
    }
  }
  std::sort(log.Tracks.begin(), log.Tracks.end(),
            [](const TRipLogTrack& a, const TRipLogTrack& b) { return a.Number < b.Number; });
  return log;
}
} // namespace

std::span<const TRipLogRuleText> RipLogRules() {
  return Rules;
}

TRipLog ReadRipLog(std::string_view bytes) {
  const std::string text = RipLogTextOf(bytes);
  std::vector<TRip> rips;
  for (const std::string_view part : RipsOf(text))
    if (TRip rip = ReadRip(part); rip.Log.IsLog())
      rips.push_back(std::move(rip));
  if (rips.empty()) {
    TRipLog none;
    none.Problem = "not a rip log of EAC, XLD or whipper";
    return none;
  }
  TRipLog log = CombinedLog(rips);
  if (!log.SettingsRead)
    return log;
  if (log.Tracks.empty()) {
    log.Deductions.clear();
    Deduct(log, ERipLogRule::NoTracks);
    log.Score = 0;
    return log;
  }
  TRipPractices practices;
  for (const TRip& rip : rips) {
    practices.RangeRip |= rip.Practices.RangeRip;
    if (rip.Practices.Secure == false)
      practices.Secure = false;
  }
  ScoreTracks(log, practices);
  Total(log);
  return log;
}

std::optional<std::string> ReadRipLogFile(const std::string& path) {
  return ReadFileHead(path, 4 << 20);
}

std::string AccurateRipText(const TRipLog& log) {
  std::size_t accurate = 0, present = 0;
  int lowest = 0, highest = 0;
  // A range's own verdict when it has one, else its summary's, track by track.
  const bool summary = std::all_of(log.Tracks.begin(), log.Tracks.end(), [](const auto& t) {
    return t.AccurateRip == EAccurateRip::Unknown;
  });
  const std::vector<TRipLogTrack>& tracks = summary ? log.RangeSummary : log.Tracks;
  for (const TRipLogTrack& track : tracks) {
    if (track.AccurateRip == EAccurateRip::Accurate) {
      lowest = accurate++ ? std::min(lowest, track.Confidence) : track.Confidence;
      highest = std::max(highest, track.Confidence);
    }
    present += track.AccurateRip != EAccurateRip::Unknown;
  }
  if (present == 0)
    return "";
  if (accurate == 0 && std::all_of(tracks.begin(), tracks.end(), [](const auto& t) {
        return t.AccurateRip != EAccurateRip::NotAccurate;
      }))
    return "not in the AccurateRip database";
  std::string text =
      std::to_string(accurate) + " of " + std::to_string(tracks.size()) + " tracks accurate";
  if (accurate)
    text += " (confidence " + std::to_string(lowest) +
            (lowest == highest ? "" : " to " + std::to_string(highest)) + ")";
  return text;
}

std::string RipperDriveText(const TRipLog& log) {
  std::string text = log.Drive;
  if (log.ReadOffset)
    text += (text.empty() ? "" : ", ") + std::string("read offset ") +
            (*log.ReadOffset > 0 ? "+" : "") + std::to_string(*log.ReadOffset);
  return text;
}

namespace {
// "EAC V1.6", "EAC (before V0.99)".
std::string RipperText(const TRipLog& log) {
  return log.Ripper + " " + (log.Version.empty() ? "(before V0.99)" : log.Version);
}

// "92/100 (settings not stated: read offset -1, ...)", the lowest of a combined log's said.
std::string ScoreText(const TRipLog& log) {
  std::string text = log.Rips > 1 ? std::to_string(log.Rips) + " rips: " : "";
  if (!log.Score)
    return text + "not scored (the log is in a language whose strings are not known)";
  text += std::to_string(*log.Score) + "/100";
  for (std::size_t i = 0; i < log.Deductions.size(); ++i)
    text += (i ? ", " : " (") + log.Deductions[i].Text + " -" +
            std::to_string(log.Deductions[i].Points);
  return text + (log.Deductions.empty() ? "" : ")");
}
} // namespace

std::string RipLogScoreLine(const TRipLog& log) {
  return RipperText(log) + ": " + ScoreText(log) + "; checksum: " + LogChecksumText(log);
}

namespace {
std::string TestAndCopyText(const TRipLog& log) {
  std::size_t tested = 0, agree = 0;
  for (const TRipLogTrack& track : log.Tracks) {
    tested += !track.TestCrc.empty();
    agree += !track.TestCrc.empty() && riplog::Lower(track.TestCrc) == riplog::Lower(track.CopyCrc);
  }
  if (tested == 0)
    return "not used";
  return "the CRCs agree on " + std::to_string(agree) + " of " + std::to_string(log.Tracks.size()) +
         " tracks";
}
} // namespace

std::string LogChecksumText(const TRipLog& log) {
  switch (log.Checksum) {
  case ELogChecksum::Absent:
    return "missing";
  case ELogChecksum::NotUsed:
    return "not used by this ripper version";
  case ELogChecksum::Verified:
    return "OK";
  case ELogChecksum::Mismatch:
    return "edited";
  }
  return "";
}

std::string RipLogSummary(const TRipLog& log) {
  if (!log.IsLog())
    return log.Problem;
  std::string summary = RipperText(log);
  if (!log.ReadMode.empty())
    summary += ", " + log.ReadMode + " mode";
  if (const std::string drive = RipperDriveText(log); !drive.empty())
    summary += "; drive " + drive;
  if (log.SettingsRead)
    summary += "\nTest and copy: " + TestAndCopyText(log);
  if (const std::string accurate = AccurateRipText(log); !accurate.empty())
    summary += "\nAccurateRip: " + accurate;
  summary += "\nScore: " + ScoreText(log);
  return summary + "\nLog checksum: " + LogChecksumText(log);
}
