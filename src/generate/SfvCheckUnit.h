// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading and verifying ".sfv" files: ";" starts a comment line, every other line holds
// a file name, one space (or tab) and eight hexadecimal digits; any other line, one
// holding a NUL byte included, is malformed and counts against the file. An ".sfv" usually comes
// from elsewhere (a download), so it is read a line at a time and names only what lies in its own
// folder.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TSfvEntry {
  std::string Name;
  std::uint32_t Checksum = 0;
};

enum class TSfvLineKind { Skipped, Entry, Malformed };

struct TSfvLine {
  TSfvLineKind Kind = TSfvLineKind::Skipped;
  TSfvEntry Entry;
};

// One line: blank and comment lines are skipped.
TSfvLine ParseSfvLine(std::string_view line);

// Visits every line of the file with its 1-based number (a byte-order mark in front is
// skipped); false when it cannot be read.
bool ForEachSfvLine(const std::string& path,
                    const std::function<void(std::size_t number, const TSfvLine& line)>& visit);

enum class TSfvOutcome { Ok, Mismatch, Missing, Unsafe };

struct TSfvCheck {
  TSfvOutcome Outcome = TSfvOutcome::Missing;
  std::optional<std::uint32_t> Computed; // the file's checksum, when it was read
};

// Checks an entry against the file of that name in the folder (with a trailing "/"). An
// unsafe name, or one that leads outside the folder through a symbolic link, is not read.
// bytesRead hears of each chunk; a cancelled check ends early as Missing.
TSfvCheck CheckSfvFile(const TSfvEntry& entry, const std::string& folder,
                       const std::function<void(std::uint64_t)>& bytesRead = {},
                       const std::atomic<bool>* cancelled = nullptr);
TSfvOutcome CheckSfvEntry(const TSfvEntry& entry, const std::string& folder);

// Verifies every entry of an .sfv on worker threads, as the window shows it: Listed hears
// the entries, the bytes to read and the number of malformed lines, Checked each result in the
// .sfv's order, Progress the bytes read so far. Runs on the calling thread until done or cancelled;
// false when the .sfv cannot be read.
struct TSfvVerifyCallbacks {
  std::function<void(const std::vector<TSfvEntry>& entries, std::uint64_t bytes,
                     std::size_t malformedLines)>
      Listed;
  std::function<void(std::size_t index, const TSfvCheck& check)> Checked;
  std::function<void(std::uint64_t done)> Progress;
};
bool VerifySfv(const std::string& sfvPath, const TSfvVerifyCallbacks& callbacks,
               const std::atomic<bool>& cancelled, unsigned threads = 0);

// "OK", "FAILED", "MISSING" or "UNSAFE".
const char* SfvOutcomeWord(TSfvOutcome outcome);

// "3 OK, 2 bad (1 failed, 1 missing)": the command line's last line and the verify
// window's totals. counts are by outcome; malformed lines count as bad.
std::string SfvCheckSummary(const std::array<std::size_t, 4>& counts, std::size_t malformedLines,
                            bool cancelled = false);
