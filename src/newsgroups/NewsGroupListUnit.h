// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The known-newsgroup list: sorted by the locale ignoring case, free of entries that are
// equal ignoring case, kept in "groups.txt" in the program folder.
#include "common/Problem.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* NewsGroupListFileName = "groups.txt";

class TNewsGroups {
public:
  const std::vector<std::string>& Groups() const { return FGroups; }

  // Adds the name in its sorted place unless an entry equal ignoring case is present;
  // marks the list modified either way.
  void Add(const std::string& name);
  // Not empty and holding at least one ".".
  static bool IsValidName(std::string_view name);
  bool Contains(std::string_view name) const;
  // Replaces the list with the file's lines (an import: its names count as added); a
  // failed read keeps the old list and returns the load error.
  std::optional<TProblem> LoadFromFile(const std::string& path);
  // Loads the program's "groups.txt" and remembers what it held, so that a save sees
  // what another program (the user's editor) changed since.
  std::optional<TProblem> LoadProgramList();
  // Reads "groups.txt" again when it changed on disk and this run added nothing unsaved.
  bool ReloadWhenChangedOutside();
  // Writes "groups.txt" when modified; a failed write returns the save error and the list
  // stays modified. When the file changed on disk since it was read, the names added in
  // this run are added to what it holds now, so nothing written elsewhere is lost.
  std::optional<TProblem> SaveList();

  bool Modified = false;

private:
  bool ChangedOnDisk() const;

  std::vector<std::string> FGroups;
  // The bytes of "groups.txt" as last read or written; nothing when it could not be read.
  std::optional<std::string> DiskText;
  bool FromProgramList = false;
  std::vector<std::string> AddedThisRun;
};

// The lines as a list: sorted by the host's comparison ignoring case, the first of
// several equal entries kept.
std::vector<std::string> SortedGroups(std::vector<std::string> lines);
