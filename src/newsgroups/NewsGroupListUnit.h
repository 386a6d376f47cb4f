#pragma once
// The known-newsgroup list: sorted by the locale ignoring case, free of entries that are
// equal ignoring case, kept in "groups.txt" in the program folder.
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
  // Replaces the list with the file's lines; a failed read keeps the old list and shows
  // the load error.
  void LoadFromFile(const std::string& path);
  // Writes "groups.txt" when modified; a failed write shows the save error and the list
  // stays modified.
  void SaveList();

  bool Modified = false;

private:
  std::vector<std::string> FGroups;
};

// The lines as a list: sorted by the host's comparison ignoring case, the first of
// several equal entries kept.
std::vector<std::string> SortedGroups(std::vector<std::string> lines);
