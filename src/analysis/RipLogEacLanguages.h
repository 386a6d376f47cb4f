// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Within the rip log reader: an EAC log written in another language than English, put back
// in English where the reader reads it, as the open log checkers do through EAC's own
// string tables.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TEacLogInEnglish {
  std::string Language; // "Russian"
  std::vector<std::string> Lines;
};

// The lines with each translated label, value and verdict in English, the rest as they
// are; nothing when the log is in English or in a language whose strings are not known.
std::optional<TEacLogInEnglish> EacLogInEnglish(const std::vector<std::string_view>& lines);
