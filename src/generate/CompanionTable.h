// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The documents written beside the ".nfo", one row each: its name and extension, the
// preference that remembers it, the window's menu item and the command line's option,
// what its lines cannot carry, and how it is made. The save, the replace question, the
// window's menu and status text and the command line's options all come from here.
#include "generate/AlbumUnit.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

struct TCompanion {
  std::string_view Role;          // ".sfv": how messages name it
  std::string_view Extension;     // beside the .nfo, with the .nfo's base name
  std::string_view PreferenceKey; // [MenuPrefs]
  std::string_view MenuName;      // the window's menu item (its object name)
  std::string_view MenuText;
  std::string_view Option; // the command line's flag
  std::string_view OptionHelp;
  // A track whose name starts with this would be a comment line, not an entry.
  std::string_view CommentStart;
  // The checksums tracks lack are computed before it is made.
  bool ReadsChecksums = false;
  // The save's template step (a missing template gets its default); nullptr: none.
  void (*PrepareTemplate)() = nullptr;
  // The document's bytes for the album, to be written at path.
  std::string (*Make)(TAlbumInfo& album, const std::string& path) = nullptr;
  // Recovery files for the tracks and the other documents, made last from their bytes
  // (Make is unused).
  bool Recovery = false;
};

inline constexpr std::size_t CompanionCount = 3;
extern const std::array<TCompanion, CompanionCount> Companions;

// Which companions a save writes, by the table's order.
using TCompanionChoice = std::array<bool, CompanionCount>;

// The row of a role (".sfv"), or nothing.
std::optional<std::size_t> CompanionNamed(std::string_view role);
