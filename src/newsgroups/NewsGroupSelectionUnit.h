// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The state and operations of the newsgroup selection window, apart from its widgets:
// the known list, the available rows (known, not selected, passing the filter) and the
// selected groups. The window shows them and forwards its events here.
#include "newsgroups/NewsGroupListUnit.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TFileItem {
  std::string Name;
};

// The whole filter text, spaces included, anywhere in the name, both upper-cased by the
// locale; an empty filter passes everything.
bool PassesFilter(std::string_view name, std::string_view filter);

// The filter the window opens with: the remembered one when the user typed it; when it is
// a word the program proposes itself ("mp3", "flac", "lossless"), the album's kind's word
// instead, so that a FLAC album is not offered the MP3 groups.
std::string NewsGroupFilterFor(std::string_view remembered, std::string_view format, bool lossless);

// Where Forte Agent's group list is: under the ProgramFiles folder when that is set (none
// there: Missing), else in the default Wine prefix (none: NotFound, for the user to look
// for it).
struct TAgentList {
  enum { Found, Missing, NotFound } State = NotFound;
  std::string Path;
};
TAgentList LocateForteAgentList();

class TNewsGroupSelection {
public:
  // Start: loads "groups.txt"; an unchanged list is not written back at the end.
  std::optional<TProblem> Create();
  // End: writes the list back when it changed.
  std::optional<TProblem> Destroy();

  void RefreshAvailable();
  // Adds to the known list and shows the name at the end of the rows when it passes.
  void AddGroup(const std::string& name);
  // "Add a Newsgroup" with the text the user entered: the name without surrounding blanks
  // is added and remembered as the last one added; or why it is not (an invalid name, a
  // name already known), as the message to show.
  std::optional<std::string> AddEnteredGroup(const std::string& entered);
  // Loads a list file under the busy cursor; the list counts as modified afterwards
  // (unless the file could not be read: its problem).
  std::optional<TProblem> LoadNewsGroupFile(const std::string& path);
  // Takes in "groups.txt" as edited in another program, when nothing here is unsaved.
  void ReloadWhenChangedOutside();
  void FilterSelected(const std::vector<std::string>& groups);
  // Rebuilds the rows when the filter text changed since the last rebuild.
  void TimerTick();
  // Moves an available row to the selected groups.
  void SelectAvailable(std::size_t row);
  // Removes a selected group; the index to select afterwards, if any.
  std::optional<std::size_t> UnselectAt(std::size_t index);
  void ClearSelected();

  TNewsGroups KnownGroups;
  std::vector<TFileItem> AvailableItems;
  // Sorted ignoring case, as the list box keeps them.
  std::vector<std::string> SelectedGroups;
  // The filter edit's text, kept current by the window.
  std::string FilterText;
  std::string LastFilter;
  std::string LastGroupAdded;
  // Called after the rows or the selected groups changed, so the window redraws.
  std::function<void()> Changed;

private:
  void AddSelected(const std::string& name);
  void NotifyChanged();
};
