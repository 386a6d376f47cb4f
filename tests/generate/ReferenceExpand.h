// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The block expansion and the alignment exactly as their steps read: every search from
// the top of the text. Slow (quadratic), kept as the reference the fast forms must match.
#include "generate/ExpandUnit.h"

std::string ReferenceExpandBlock(std::string text, std::string_view startMarker,
                                 std::string_view endMarker,
                                 std::span<const std::string_view> tokens, std::size_t itemCount,
                                 const TBlockValue& valueOf);
std::string ReferenceAlignRight(std::string text);
