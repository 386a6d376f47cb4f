#pragma once
// The five remembered lists of earlier entries, each tied to one box of the main window.
#include <array>
#include <string>
#include <string_view>
#include <vector>

enum TRememberedList { rlLabels, rlRippedBy, rlPostedBy, rlEncoders, rlCodecs };

inline constexpr std::array<const char*, 5> RememberedListFileNames = {
    "labels.txt", "rippedby.txt", "postedby.txt", "encoders.txt", "codecs.txt"};

using TRememberedLists = std::array<std::vector<std::string>, 5>;

// Loads the lists in their order; the first that cannot be read stops the loading, shows
// "Can't open file for reading" once, and leaves it and the later lists empty.
TRememberedLists LoadRememberedLists(const std::string& folder);

// True when no entry equals the text ignoring case.
bool LacksIgnoringCase(const std::vector<std::string>& list, std::string_view text);

// Adds each non-empty text its list lacks (ignoring case), keeps the lists sorted, and
// writes all five in order; false at the first file that cannot be written.
bool SaveRememberedLists(const std::string& folder, TRememberedLists& lists,
                         const std::array<std::string, 5>& texts);

// Sorted as a sorted box keeps it: by the locale, ignoring case, stable.
void SortIgnoringCase(std::vector<std::string>& list);
// Inserts where a sorted box puts a new entry.
void InsertSortedIgnoringCase(std::vector<std::string>& list, const std::string& text);
