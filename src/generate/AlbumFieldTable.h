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

struct TAlbumField {
  std::string_view Name = {};  // the record's field and the JSON key; empty: a box alone
  std::string_view Token = {}; // empty: none
  std::string_view Box = {};   // the window's control; empty: none
  TFieldText Text = {};
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
