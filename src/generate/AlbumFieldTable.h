// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The album's own fields, listed once for every face of the program: the record's field
// (whose name is also the render command's JSON key), its template token, and for a
// field the user types, the box text behind it and the command-line option that sets it.
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumUnit.h"

#include <array>
#include <string>
#include <string_view>

struct TAlbumField {
  std::string_view Name;
  std::string_view Token;
  std::string_view Option;             // empty: no option of its own
  std::string TAlbumFieldTexts::*Text; // the box it is typed in; nullptr: none
  std::string (*Get)(const TAlbumInfo& album);
  void (*Set)(TAlbumInfo& album, const std::string& value);
};

// In the order in which the template engine replaces the tokens.
extern const std::array<TAlbumField, 17> AlbumFields;
