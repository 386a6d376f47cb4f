// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLog.h"

#include "analysis/RipLogFormats.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <array>

namespace {
// The deductions of the open log checkers, with their points.
constexpr auto Rules = std::to_array<TRipLogRuleText>({
    {ERipLogRule::Edited, "log edited (its checksum does not match)", 100, false},
    {ERipLogRule::Normalized, "audio normalized", 100, false},
    {ERipLogRule::RangeRip, "range rip", 30, false},
    {ERipLogRule::CrcMismatch, "CRC mismatch", 30, true},
    {ERipLogRule::Incomplete, "log incomplete (no end of the status report)", 30, false},
    {ERipLogRule::ReadErrors, "suspicious positions or read errors", 20, true},
    {ERipLogRule::NotSecure, "not ripped in secure mode", 20, false},
    {ERipLogRule::NoAccurateStream, "accurate stream not used", 20, false},
    {ERipLogRule::VirtualDrive, "a virtual drive", 20, false},
    {ERipLogRule::NoChecksum, "no log checksum", 15, false},
    {ERipLogRule::CacheNotDefeated, "audio cache not defeated", 10, false},
    {ERipLogRule::C2Used, "C2 pointers used", 10, false},
    {ERipLogRule::NoTestAndCopy, "test and copy not used", 10, false},
    {ERipLogRule::GapsNotAppended, "gaps not detected and appended", 10, false},
    {ERipLogRule::SilenceDeleted, "leading and trailing silence deleted", 5, false},
    {ERipLogRule::OffsetNotFilled, "missing offset samples not filled with silence", 5, false},
    {ERipLogRule::NullSamplesLeftOut, "null samples left out of the CRCs", 1, false},
    {ERipLogRule::Id3Tags, "ID3 tags added", 1, false},
});
static_assert(Rules.size() == static_cast<std::size_t>(ERipLogRule::Count));

// Drives that read an image, not a disc.
constexpr std::array<std::string_view, 5> VirtualDrives = {
    "virtual", "clonedrive", "discsoft", "generic dvd-rom scsi cdrom device", "magiciso"};

// What a log says of the practices the rules judge; nothing where it does not say.
void Deduct(TRipLog& log, ERipLogRule rule, const std::vector<int>& tracks = {}) {
  const TRipLogRuleText& text = Rules[static_cast<std::size_t>(rule)];
  TRipLogDeduction deduction{.Rule = rule, .Text = text.Text, .Points = text.Points};
  if (text.PerTrack) {
    deduction.Text += tracks.size() == 1 ? " on track " : " on tracks ";
    for (std::size_t i = 0; i < tracks.size(); ++i)
      deduction.Text += (i ? ", " : "") + std::to_string(tracks[i]);
    deduction.Points *= static_cast<int>(tracks.size());
  }
  log.Deductions.push_back(std::move(deduction));
}

// The tracks the predicate holds for.
template <typename Predicate> std::vector<int> TracksWhere(const TRipLog& log, Predicate holds) {
  std::vector<int> numbers;
  for (const TRipLogTrack& track : log.Tracks)
    if (holds(track))
      numbers.push_back(track.Number);
  return numbers;
}

void Score(TRipLog& log, const TRipPractices& practices) {
  const auto bad = [](const std::optional<bool>& said, bool good) {
    return said.has_value() && *said != good;
  };
  const std::array<std::pair<ERipLogRule, bool>, 14> settings = {{
      {ERipLogRule::Edited, log.Checksum == ELogChecksum::Mismatch},
      {ERipLogRule::Normalized, bad(practices.Normalized, false)},
      {ERipLogRule::RangeRip, practices.RangeRip},
      {ERipLogRule::NotSecure, bad(practices.Secure, true)},
      {ERipLogRule::NoAccurateStream, bad(practices.AccurateStream, true)},
      {ERipLogRule::VirtualDrive,
       std::any_of(VirtualDrives.begin(), VirtualDrives.end(),
                   [drive = riplog::Lower(log.Drive)](std::string_view name) {
                     return drive.find(name) != std::string::npos;
                   })},
      {ERipLogRule::Incomplete, !practices.Complete},
      {ERipLogRule::NoChecksum, practices.ChecksumWritten && log.Checksum == ELogChecksum::Absent},
      {ERipLogRule::CacheNotDefeated, bad(practices.CacheDefeated, true)},
      {ERipLogRule::C2Used, bad(practices.C2Used, false)},
      {ERipLogRule::GapsNotAppended, bad(practices.GapsAppended, true) && !practices.RangeRip},
      {ERipLogRule::SilenceDeleted, bad(practices.SilenceDeleted, false)},
      {ERipLogRule::OffsetNotFilled, bad(practices.OffsetFilled, true)},
      {ERipLogRule::NullSamplesLeftOut, bad(practices.NullSamples, true)},
  }};
  for (const auto& [rule, applies] : settings)
    if (applies)
      Deduct(log, rule);
  if (bad(practices.Id3, false))
    Deduct(log, ERipLogRule::Id3Tags);
  const auto mismatched = TracksWhere(log, [](const TRipLogTrack& t) {
    return !t.TestCrc.empty() && !t.CopyCrc.empty() &&
           riplog::Lower(t.TestCrc) != riplog::Lower(t.CopyCrc);
  });
  if (!mismatched.empty())
    Deduct(log, ERipLogRule::CrcMismatch, mismatched);
  const auto errors = TracksWhere(log, [](const TRipLogTrack& t) { return t.ReadErrors; });
  if (!errors.empty())
    Deduct(log, ERipLogRule::ReadErrors, errors);
  if (!log.Tracks.empty() &&
      TracksWhere(log, [](const TRipLogTrack& t) { return !t.TestCrc.empty(); }).empty())
    Deduct(log, ERipLogRule::NoTestAndCopy);
  int points = 0;
  for (const TRipLogDeduction& deduction : log.Deductions)
    points += deduction.Points;
  log.Score = std::max(0, 100 - points);
}
} // namespace

std::span<const TRipLogRuleText> RipLogRules() {
  return Rules;
}

TRipLog ReadRipLog(std::string_view bytes) {
  const std::string text = TextFileToUtf8(bytes);
  const std::vector<std::string_view> lines = LogLinesOf(text);
  TRipLog log;
  const auto first =
      std::find_if(lines.begin(), lines.end(), [](std::string_view line) { return !line.empty(); });
  const std::string_view head = first == lines.end() ? std::string_view() : *first;
  const std::vector<std::string_view> body(first, lines.end());
  TRipPractices practices;
  if (head.starts_with("Exact Audio Copy V"))
    practices = ReadEacLog(body, log);
  else if (head.starts_with("X Lossless Decoder version"))
    practices = ReadXldLog(body, log);
  else if (head.starts_with("Log created by: whipper"))
    practices = ReadWhipperLog(text, body, log);
  else
    log.Problem = "not a rip log of EAC, XLD or whipper";
  if (log.IsLog() && log.SettingsRead)
    Score(log, practices);
  return log;
}

std::optional<std::string> ReadRipLogFile(const std::string& path) {
  return ReadFileHead(path, 4 << 20);
}

std::string AccurateRipText(const TRipLog& log) {
  std::size_t accurate = 0, present = 0;
  int lowest = 0, highest = 0;
  for (const TRipLogTrack& track : log.Tracks) {
    if (track.AccurateRip == EAccurateRip::Accurate) {
      lowest = accurate++ ? std::min(lowest, track.Confidence) : track.Confidence;
      highest = std::max(highest, track.Confidence);
    }
    present += track.AccurateRip != EAccurateRip::Unknown;
  }
  if (present == 0)
    return "";
  if (accurate == 0 && std::all_of(log.Tracks.begin(), log.Tracks.end(), [](const auto& t) {
        return t.AccurateRip != EAccurateRip::NotAccurate;
      }))
    return "not in the AccurateRip database";
  std::string text =
      std::to_string(accurate) + " of " + std::to_string(log.Tracks.size()) + " tracks accurate";
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

std::string RipLogScoreLine(const TRipLog& log) {
  std::string line = log.Ripper + " " + log.Version + ": ";
  if (!log.Score)
    return line + "not scored (the log is not in English, whose settings are read)";
  line += std::to_string(*log.Score) + "/100";
  for (std::size_t i = 0; i < log.Deductions.size(); ++i)
    line += (i ? ", " : " (") + log.Deductions[i].Text + " -" +
            std::to_string(log.Deductions[i].Points);
  return line + (log.Deductions.empty() ? "" : ")");
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
    return "none";
  case ELogChecksum::Unverifiable:
    return "present (its algorithm is not published: not verified)";
  case ELogChecksum::Verified:
    return "verified (SHA-256)";
  case ELogChecksum::Mismatch:
    return "does not match: the log was changed after it was written";
  }
  return "";
}

std::string RipLogSummary(const TRipLog& log) {
  if (!log.IsLog())
    return log.Problem;
  std::string summary = log.Ripper + " " + log.Version;
  if (!log.ReadMode.empty())
    summary += ", " + log.ReadMode + " mode";
  if (const std::string drive = RipperDriveText(log); !drive.empty())
    summary += "; drive " + drive;
  if (log.SettingsRead)
    summary += "\nTest and copy: " + TestAndCopyText(log);
  if (const std::string accurate = AccurateRipText(log); !accurate.empty())
    summary += "\nAccurateRip: " + accurate;
  summary += "\nScore: " + RipLogScoreLine(log).substr(log.Ripper.size() + log.Version.size() + 3);
  return summary + "\nLog checksum: " + LogChecksumText(log);
}
