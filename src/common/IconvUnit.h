// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversions between character encodings through the C library's iconv.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// At a sequence the target lacks (or that is none of the source's), what to do: how many
// bytes to pass over and what to write for them; nothing to give the conversion up.
using TIconvStuck =
    std::function<std::optional<std::pair<std::size_t, std::string>>(std::string_view rest)>;

// The text from one encoding to the other (iconv's names); nothing when iconv knows either
// not, or when it is stuck and `stuck` (or its absence) gives up.
std::optional<std::string> ConvertWithIconv(std::string_view text, const char* from, const char* to,
                                            const TIconvStuck& stuck = {});
