// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The most frequent value of a sequence; among equally frequent values the one whose
// first occurrence comes earliest wins. An empty sequence gives 0 or "".
#include <cstdint>
#include <span>
#include <string>

std::int32_t MostPopularInt(std::span<const std::int32_t> values);
std::string MostPopularStr(std::span<const std::string> values);
