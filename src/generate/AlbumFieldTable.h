// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The album's fields, listed once for every face of the program: the record's field
// (whose name is also the render command's JSON key) and its template token; the box it
// is typed in (the window's control and its text in TAlbumFieldTexts) and how the tracks
// fill it; the command line's option; the remembered list and the preference it keeps.
// The window fills, collects and clears its boxes, the command line takes its options
// and the template engine replaces its tokens by walking this table.
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumUnit.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Where a box's value lives in the texts: a text, a check mark, a choice's index or a date.
using TFieldText =
    std::variant<std::monostate, std::string TAlbumFieldTexts::*, bool TAlbumFieldTexts::*,
                 int TAlbumFieldTexts::*, TDateTime TAlbumFieldTexts::*>;

// How a value the tracks propose meets the box (Fill Album Fields).
enum class TFill {
  None,        // the tracks decide nothing here
  Replace,     // the proposal replaces the box's text
  KeepWhenNone // an empty proposal keeps what the box holds
};

// The window's group of boxes a field's box sits in.
enum class TBoxGroup : std::uint8_t { None, Album, Technical, Posting };

// Where the window puts a box and what it offers. The kind of control follows the value:
// a text is a combo box, a check mark a check box, a choice's index a group of radio
// buttons (its items their captions), a date a date picker.
struct TBoxPlace {
  TBoxGroup Group = TBoxGroup::None;
  int Row = 0, Column = 0, Span = 1; // in the group's grid; a label takes the column before
  // In front of the box, with its mnemonic; a check mark's and a radio group's own caption;
  // empty: none.
  std::string_view Label = {};
  std::span<const std::string_view> Items = {}; // the box's list
  int Characters = 0;                           // wide enough for this many; 0: as laid out
  int Help = 0; // the help page of its label (of a check mark itself); 0: the controls' own
  std::string_view Hint = {};
};

struct TAlbumField {
  std::string_view Name = {};  // the record's field and the JSON key; empty: a box alone
  std::string_view Token = {}; // empty: none
  std::string_view Box = {};   // the window's control; empty: none
  TFieldText Text = {};
  TBoxPlace Place = {};
  // The command line's option and the word for its value in the usage text ("" for a
  // check mark's flag, whose "--no-" form clears it).
  std::string_view Option = {};
  std::string_view OptionValue = {};
  std::string_view OptionHelp = {};
  TFill Fill = TFill::None;
  // An empty proposal takes the first entry of this list of the tracks' own values.
  std::vector<std::string> TTrackLists::*TrackList = nullptr;
  bool ClearedWithTracks = false;                           // Clear Tracks empties the box
  std::optional<TRememberedList> Remembered = std::nullopt; // the box offers earlier entries
  std::string TPreferences::*Preference = nullptr;          // the box's text is kept at the end
  std::string (*Get)(const TAlbumInfo& album) = nullptr;
  void (*Set)(TAlbumInfo& album, const std::string& value) = nullptr;
  // What the record receives from the texts; nullptr: the field's own text.
  std::string (*Stored)(const TAlbumFieldTexts& texts) = nullptr;
};

// In the order in which the template engine replaces the tokens.
extern const std::span<const TAlbumField> AlbumFields;

// The stereo mode's index from a word of the command line (stereo, joint, dual, mono, the
// long names or the index itself), any case.
std::optional<int> StereoModeIndex(std::string text);
