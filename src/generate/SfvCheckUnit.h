#pragma once
// Reading and verifying ".sfv" files: ";" starts a comment line, every other line holds
// a file name, one space and eight hexadecimal digits. An ".sfv" usually comes from
// elsewhere (a download), so it is read a line at a time and names only what lies in
// its own folder.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

// Visits every line of the file with its 1-based number; false when it cannot be read.
bool ForEachSfvLine(const std::string& path,
                    const std::function<void(std::size_t number, const TSfvLine& line)>& visit);

// A name that stays inside the folder: relative, no ".." step (either slash counts as a
// separator, as SFV files from Windows write them).
bool IsSafeSfvName(std::string_view name);

enum class TSfvOutcome { Ok, Mismatch, Missing, Unsafe };

// Checks an entry against the file of that name in the folder (with a trailing "/"). An
// unsafe name, or one that leads outside the folder through a symbolic link, is not read.
TSfvOutcome CheckSfvEntry(const TSfvEntry& entry, const std::string& folder);

// "OK", "FAILED", "MISSING" or "UNSAFE".
const char* SfvOutcomeWord(TSfvOutcome outcome);
