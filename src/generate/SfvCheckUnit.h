#pragma once
// Reading and verifying ".sfv" files: ";" starts a comment line, every other line holds
// a file name, one space and eight hexadecimal digits.
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

struct TSfvEntry {
  std::string Name;
  std::uint32_t Checksum = 0;
};

struct TSfvList {
  std::vector<TSfvEntry> Entries;
  std::vector<std::size_t> MalformedLines; // 1-based numbers of lines that are neither
};

TSfvList ParseSfv(std::string_view text);

enum class TSfvOutcome { Ok, Mismatch, Missing };

struct TSfvResult {
  std::string Name;
  TSfvOutcome Outcome;
};

// Checks each entry against the file of that name beside the ".sfv" file.
std::vector<TSfvResult> CheckSfv(const TSfvList& list, const std::string& folder);
