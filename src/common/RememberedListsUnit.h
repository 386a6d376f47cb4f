// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The five remembered lists of earlier entries, each tied to one box (the field table
// names which).
#include "common/Problem.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum TRememberedList { rlLabels, rlRippedBy, rlPostedBy, rlEncoders, rlCodecs };

inline constexpr std::array<const char*, 5> RememberedListFileNames = {
    "labels.txt", "rippedby.txt", "postedby.txt", "encoders.txt", "codecs.txt"};

// How a list's file was found at loading. A file that exists but could not be read is
// never written over: a passing read failure must not cost the user the entries.
enum class TListFileState { Read, Missing, Unreadable };

struct TRememberedLists {
  std::array<std::vector<std::string>, 5> Entries;
  std::array<TListFileState, 5> FileStates{}; // a list not loaded from a file is written

  std::vector<std::string>& operator[](std::size_t list) { return Entries[list]; }
  const std::vector<std::string>& operator[](std::size_t list) const { return Entries[list]; }
  static constexpr std::size_t size() { return 5; }
};

// Loads each list on its own: one that cannot be read starts empty while the others
// load; "Can't open file for reading" is returned once for all of them.
std::optional<TProblem> LoadRememberedLists(const std::string& folder, TRememberedLists& lists);

// True when no entry equals the text ignoring case.
bool LacksIgnoringCase(const std::vector<std::string>& list, std::string_view text);

// Adds each non-empty text its list lacks (ignoring case), keeps the lists sorted, and
// writes them in order, but not over a file that could not be read (a missing one is
// created); false at the first file that cannot be written.
bool SaveRememberedLists(const std::string& folder, TRememberedLists& lists,
                         const std::array<std::string, 5>& texts,
                         std::string* failedPath = nullptr);

// Sorted as a sorted box keeps it: by the locale, ignoring case, stable.
void SortIgnoringCase(std::vector<std::string>& list);
// Inserts where a sorted box puts a new entry.
void InsertSortedIgnoringCase(std::vector<std::string>& list, const std::string& text);
