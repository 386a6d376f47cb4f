// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A CD ripper's log (Exact Audio Copy, X Lossless Decoder, whipper): the drive and its
// settings, each track's test and copy CRCs and AccurateRip verdict, whether the log's own
// checksum is there (and holds, where its algorithm is published), and the score a log
// checker gives it: 100 less a named deduction for each practice that can lose data.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class EAccurateRip { Unknown, NotPresent, NotAccurate, Accurate };

struct TRipLogTrack {
  int Number = 0;
  std::string TestCrc, CopyCrc; // as written (8 hex digits); empty when the log has none
  EAccurateRip AccurateRip = EAccurateRip::Unknown;
  int Confidence = 0;      // of an accurate rip, the highest the log gives
  bool ReadErrors = false; // suspicious positions, read, sync or sector errors
};

enum class ELogChecksum {
  Absent,
  Unverifiable, // there, by an algorithm its ripper does not publish
  Verified,
  Mismatch, // the log was changed after it was written
};

enum class ERipLogRule {
  Edited,
  Normalized,
  RangeRip,
  CrcMismatch,
  Incomplete,
  ReadErrors,
  NotSecure,
  NoAccurateStream,
  VirtualDrive,
  NoChecksum,
  CacheNotDefeated,
  C2Used,
  NoTestAndCopy,
  GapsNotAppended,
  SilenceDeleted,
  OffsetNotFilled,
  NullSamplesLeftOut,
  Id3Tags,
  Count
};

struct TRipLogRuleText {
  ERipLogRule Rule;
  const char* Text;
  int Points;
  bool PerTrack;
};
// Every deduction with its points, as the help lists them.
std::span<const TRipLogRuleText> RipLogRules();

struct TRipLogDeduction {
  ERipLogRule Rule;
  std::string Text; // the rule's text, with the tracks it counts
  int Points = 0;
};

struct TRipLog {
  std::string Problem; // why the text is not read as a rip log; empty when it is
  std::string Ripper;  // "EAC", "XLD", "whipper"
  std::string Version;
  std::string Drive;
  std::optional<int> ReadOffset;
  std::string ReadMode;     // "secure", "burst", "paranoia"...
  bool SettingsRead = true; // false for an EAC log in another language than English
  std::vector<TRipLogTrack> Tracks;
  ELogChecksum Checksum = ELogChecksum::Absent;
  std::vector<TRipLogDeduction> Deductions;
  std::optional<int> Score; // none when the settings could not be read
  bool IsLog() const { return Problem.empty(); }
};

// The log in the bytes (UTF-16 with a byte-order mark as EAC saves it, UTF-8, or
// Windows-1252). A text that is no log of these rippers gets Problem.
TRipLog ReadRipLog(std::string_view bytes);
// A log file's bytes, its first 4 MiB at most (a log of 99 tracks is some 50 KB).
std::optional<std::string> ReadRipLogFile(const std::string& path);

// "12 of 12 tracks accurate (confidence 5 to 12)"; "not in the AccurateRip database".
std::string AccurateRipText(const TRipLog& log);
// "PLEXTOR DVDR PX-716A, read offset +30".
std::string RipperDriveText(const TRipLog& log);
// "EAC V1.6: 100/100" or with the deductions: "EAC V1.6: 70/100 (range rip -30)".
std::string RipLogScoreLine(const TRipLog& log);
// "verified (SHA-256)", "none", ...
std::string LogChecksumText(const TRipLog& log);
// A few lines: the ripper and mode, the drive, test and copy, AccurateRip, the score and
// the checksum.
std::string RipLogSummary(const TRipLog& log);
