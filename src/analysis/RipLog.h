// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A CD ripper's log (Exact Audio Copy, X Lossless Decoder, whipper): the drive and its
// settings, each track's test and copy CRCs and AccurateRip verdict, whether the log's own
// checksum holds, and the score the open log checkers give it: 100 less a named deduction
// for each practice that can lose data and each setting the log does not state.
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
  // Whether the copy CRC counts the samples that are 0 (EAC can leave them out); none when the
  // log does not say.
  std::optional<bool> CrcHasNullSamples;
  // The track's AccurateRip checksums as the ripper computed them (8 hex digits); empty when
  // the log gives none.
  std::string AccurateRipV1, AccurateRipV2;
  EAccurateRip AccurateRip = EAccurateRip::Unknown;
  int Confidence = 0; // of an accurate rip, the highest the log gives
  // What the rip met on the track.
  bool SuspiciousPositions = false, TimingProblems = false, MissingSamples = false,
       WriteError = false, Aborted = false;
  int SectorErrors = 0;  // XLD's read, skipped, inconsistent and damaged sectors, 10 each at most
  bool FileNamed = true; // a ".wav", ".flac" or ".ape" file (or a name too long for EAC)
};

enum class ELogChecksum {
  Absent,
  NotUsed, // the ripper's version wrote none
  Verified,
  Mismatch, // the log was changed after it was written
};

enum class ERipLogRule {
  NoTracks,
  OldEac,
  Normalized,
  CopyAborted,
  RangeRip,
  CrcMismatch,
  SuspiciousPositions,
  TimingProblems,
  MissingSamples,
  WriteErrors,
  SectorErrors,
  NotSecure,
  NoAccurateStream,
  VirtualDrive,
  NullDrive,
  NotSecureNoTestAndCopy,
  CacheNotDefeated,
  C2Used,
  NoTestAndCopy,
  GapsNotAppended,
  SilenceDeleted,
  OffsetNotFilled,
  NullSamplesLeftOut,
  CombinedOffset,
  Unstated,
  FileNames,
  Id3Tags,
  Count
};

struct TRipLogRuleText {
  ERipLogRule Rule;
  const char* Text;
  int Points; // for each track, or each setting not stated, where it counts them
  bool PerTrack;
};
// Every deduction with its points, as the help lists them.
std::span<const TRipLogRuleText> RipLogRules();

struct TRipLogDeduction {
  ERipLogRule Rule;
  std::string Text; // the rule's text, with the tracks or settings it counts
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
  // A disc ripped as one file: each track's AccurateRip verdict, as its summary says them
  // (the range itself is Tracks' one entry).
  std::vector<TRipLogTrack> RangeSummary;
  ELogChecksum Checksum = ELogChecksum::Absent;
  std::vector<TRipLogDeduction> Deductions;
  std::optional<int> Score; // none when the settings could not be read; below 0 as checkers say
  int Rips = 1;             // a combined log's rips, scored together
  bool IsLog() const { return Problem.empty(); }
};

// The log in the bytes (see RipLogTextOf for the encodings). A text that is no log of
// these rippers gets Problem. A combined log is scored as one, its checksum verdict the
// worst of its rips'.
TRipLog ReadRipLog(std::string_view bytes);
// A log file's bytes, its first 4 MiB at most (a log of 99 tracks is some 50 KB).
std::optional<std::string> ReadRipLogFile(const std::string& path);

// "12 of 12 tracks accurate (confidence 5 to 12)"; "not in the AccurateRip database".
std::string AccurateRipText(const TRipLog& log);
// "PLEXTOR DVDR PX-716A, read offset +30".
std::string RipperDriveText(const TRipLog& log);
// "EAC V1.6: 100/100" or with the deductions: "EAC V1.6: 70/100 (range rip -30)".
std::string RipLogScoreLine(const TRipLog& log);
// "OK", "edited", "missing", "not used by this ripper version".
std::string LogChecksumText(const TRipLog& log);
// A few lines: the ripper and mode, the drive, test and copy, AccurateRip, the score and
// the checksum.
std::string RipLogSummary(const TRipLog& log);
