// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// JSON as the tool prints it: bytes that are no UTF-8 (a file's name may hold any) replaced,
// never a failure after the work is done, and the characters a terminal acts on or that
// turn text's direction written as \u escapes, which JSON allows raw.
#include <nlohmann/json.hpp>
#include <string>

std::string JsonText(const nlohmann::json& value, int indent = -1);
