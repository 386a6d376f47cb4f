// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A rip log's bytes as text: the encodings the rippers and the users' editors save logs in,
// and the rips of a combined log.
#include <string>
#include <string_view>
#include <vector>

// UTF-16 (little or big endian, with or without a byte-order mark), UTF-8, or the Windows
// code page the bytes read best in (Shift-JIS, 1251, 1250, else 1252), as UTF-8.
std::string RipLogTextOf(std::string_view bytes);

// The rips of a text that holds several, as EAC appends them: separated by a line of 60
// dashes. Each part trimmed; empty parts (a separator first or last) left out.
std::vector<std::string_view> RipsOf(std::string_view text);
