// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The posting policy: a short text in its own file that every document can carry.
#include "common/Problem.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

inline constexpr const char* PostingPolicyFileName = "postingpolicy.txt";

inline constexpr std::array<std::string_view, 3> DefaultPostingPolicy = {
    "  Please wait 2 days after the original post before asking for reposts.",
    "  Only segment reposts will be fullfilled.",
    "  Thank you.",
};

// Writes the default text; the problem when that failed.
std::optional<TProblem> WriteDefaultPostingPolicy(const std::string& path);
// Opens the policy in the user's editor, creating it with the default text when missing.
std::optional<TProblem> EditPostingPolicy();
